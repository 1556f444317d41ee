#include "app/jobs/ConvertJob.h"

#include "app/jobs/CutJob.h"
#include "audio/ACS_LAME.h"
#include "audio/ACS_WinMedia.h"
#include "audio/classes/SixteenBitInput.h"
#include "audio/codecs/CodecIn.h"
#include "audio/codecs/CodecOut.h"
#include "audio/formats/FormatRegistry.h"
#include "audio/formats/SettingsCopy.h"

namespace {

/// The encoders take one or two channels of 16-bit samples: anything else is converted.
TAuInput& EncoderInput(OutputJob& job, TAuFileIn& source, const std::string& name, const char* format,
                       const char* what) {
  if (source.Channels() > 2)
    throw JobRefused(ErrorKind::UnreadableFile,
                     std::string(format) + " " + what + " hold one or two channels, the source has " +
                         std::to_string(source.Channels()),
                     name);
  if (source.BitsPerSample() == 16) return source;
  return job.Keep(std::make_unique<Sealed<TSixteenBitInput>>(source));
}

}  // namespace

std::unique_ptr<Job> StartConvert(const ConvertRequest& request, JobEvents events) {
  const FormatEntry* target = FormatEntryOfFile(request.target);
  if (!target) throw JobRefused(ErrorKind::Usage, "the target's format is none of " + FormatNames(), request.target);
  CheckWritable(request.target);
  auto job = std::make_unique<OutputJob>(std::move(events));
  TAuFileIn& source = job->Keep(OpenSource(request.source, &FormatEntry::newInput));
  CheckTarget(request.target, {request.source}, request.replaceTarget);
  TAuFileOut& output = job->SetOutput(target->newOutput());
  TAuInput* input = &source;
  if (target->encodesSixteenBitStereo) input = &EncoderInput(*job, source, request.source, target->name, "files");
  if (target->applyEncodeOptions) target->applyEncodeOptions(output, request.options, source.Channels());
  CarryConvertedTags(source, output);
  output.SetFileName(job->OpenTarget(request.target));
  output.SetInput(input);
  job->Run();
  return job;
}

namespace {

/// A stream has no file to put in place: it ends when the source does.
class StreamJob : public Job {
 public:
  explicit StreamJob(JobEvents events) : events_(std::move(events)) {}
  ~StreamJob() override {
    closing_ = true;  // as OutputJob's
    if (output_) StopAndClearHandlers(*output_);
    output_.reset();
  }
  bool Running() const override { return running_; }
  void Stop() override {
    if (running_) output_->Stop(true);
  }

  void Start(const StreamRequest& request) {
    source_ = OpenSource(request.source, &FormatEntry::newInput);
    output_ = std::make_unique<Sealed<TWMStreamedOut>>();
    TAuInput& input = EncoderInput(request.source);
    output_->SetPort(request.port);
    output_->SetMaxClients(request.maxClients);
    output_->SetDesiredBitrate(request.bitrate);
    if (TId3v2Tags* tags = source_->CommonFields()) CopyId3v2Fields(*tags, output_->Id3v2Tags());
    output_->SetInput(&input);
    // The address, once the server listens; then the run goes on to the end.
    output_->OnProgress = [this, listening = request.listening](TComponent*) {
      if (closing_) return;
      if (!announced_ && output_->Port() != 0) {
        announced_ = true;
        if (listening) listening(output_->Port());
      }
      if (events_.progress) events_.progress(output_->Progress());
    };
    output_->OnThreadException = [this](TComponent*) {
      if (!closing_) failure_ = output_->ExceptionMessage();
    };
    output_->OnDone = [this, name = request.source](TComponent*) {
      if (closing_) return;
      running_ = false;
      if (events_.finished) events_.finished(failure_.empty() ? failure_ : WithFileName(failure_, name));
    };
    running_ = true;
    output_->Run();
  }

 private:
  TAuInput& EncoderInput(const std::string& name) {
    if (source_->Channels() > 2)
      throw JobRefused(ErrorKind::UnreadableFile,
                       "WMA streams hold one or two channels, the source has " + std::to_string(source_->Channels()),
                       name);
    if (source_->BitsPerSample() == 16) return *source_;
    sixteen_ = std::make_unique<Sealed<TSixteenBitInput>>(*source_);
    return *sixteen_;
  }

  JobEvents events_;
  std::unique_ptr<TAuFileIn> source_;
  std::unique_ptr<TAuInput> sixteen_;
  std::unique_ptr<TWMStreamedOut> output_;  // last: it stops before its inputs go
  std::string failure_;
  bool announced_ = false;
  bool closing_ = false;  // see ~StreamJob
  bool running_ = false;
};

}  // namespace

std::unique_ptr<Job> StartStream(const StreamRequest& request, JobEvents events) {
  auto job = std::make_unique<StreamJob>(std::move(events));
  job->Start(request);
  return job;
}
