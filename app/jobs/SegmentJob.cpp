#include "app/jobs/SegmentJob.h"

#include <stdlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "app/jobs/Components.h"
#include "app/jobs/CutJob.h"
#include "app/jobs/Global.h"
#include "app/jobs/Leftovers.h"
#include "app/jobs/TagCopy.h"
#include "app/jobs/TargetFile.h"
#include "audio/ACS_AudioMix.h"
#include "audio/ACS_LAME.h"
#include "audio/ACS_Wave.h"
#include "audio/ACS_WinMedia.h"
#include "audio/ACS_smpeg.h"

namespace fs = std::filesystem;

namespace {

constexpr char kFolderStem[] = "segment-";

}  // namespace

SegmentComponents::SegmentComponents()
    : WaveIn1(NewWaveIn()),
      WaveIn2(NewWaveIn()),
      MP3In1(NewMp3In()),
      WMIn1(NewWmIn()),
      AudioMixer1(NewMixer()),
      WaveOut1(NewWaveOut()),
      MP3Out1(NewMp3Out()),
      WMAOut1(NewWmaOut()) {
  AudioMixer1->SetMode(amConcatenate);
}

SegmentComponents::~SegmentComponents() = default;

SegmentJob::SegmentJob(SegmentComponents& components) : c_(components) {}

SegmentJob::~SegmentJob() {
  if (!running_) return;
  // Stopped without a word: nobody is left to tell.
  if (running_output_) running_output_->Stop(false);
  OnFinished = nullptr;
  Finish("stopped");
}

std::string SegmentJob::Piece(const char* kind, int n) const { return folder_ + kind + std::to_string(n) + ".wav"; }

void SegmentJob::Start(const std::string& source, const std::vector<RemovedRange>& rows, int64_t totalMs,
                       const std::string& target, const std::string& workFolder) {
  if (running_) throw JobRefused("A segment cut is already running.");
  format_ = FormatOfFile(source);
  switch (format_) {
    case AudioFormat::Wav: source_ = c_.WaveIn1.get(); break;
    case AudioFormat::Mp3: source_ = c_.MP3In1.get(); break;
    case AudioFormat::Wma: source_ = c_.WMIn1.get(); break;
    default: throw JobRefused("only MP3, WAV and WMA files can be cut: " + source);
  }
  if (rows.empty()) throw JobRefused("There is no range to remove.");
  if (const std::string refusal = CheckRows(rows, totalMs); !refusal.empty()) throw JobRefused(refusal);
  if (totalMs <= 0) throw JobRefused("The file is too short to be cut: " + source);
  source_->SetStartSample(0);
  source_->SetEndSample(-1);
  const int rate = InputRate(format_, *source_, source);
  pieces_ = PiecesOfBoundaries(BuildBoundaries(rows, totalMs), totalMs, rate, source_->TotalSamples());
  if (pieces_.empty()) throw JobRefused(kNothingRemains);
  // Pieces of up to 16 bits in one or two channels are plain PCM, which a join can append to.
  appendable_ = source_->Channels() <= 2 && source_->BitsPerSample() <= 16;
  c_.WaveOut1->SetWavType(wtPCM);

  Leftovers::RemoveThoseOfDeadRuns(workFolder, kFolderStem);
  std::string folder = Leftovers::OwnedTemplate(workFolder, kFolderStem);
  if (::mkdtemp(folder.data()) == nullptr)
    throw JobRefused("cannot create a folder in " + workFolder + ": " + std::strerror(errno));
  folder_ = folder + "/";
  folderSlot_ = Leftovers::RemoveOnSignal(folder_.c_str(), true);
  running_ = true;
  failure_.clear();
  cutting_ = true;
  step_ = 0;
  for (TAuOutput* output : {static_cast<TAuOutput*>(c_.WaveOut1.get()), static_cast<TAuOutput*>(c_.MP3Out1.get()),
                            static_cast<TAuOutput*>(c_.WMAOut1.get())}) {
    output->OnDone = [this, output](TComponent*) { WaveOut1Done(*output); };
    output->OnThreadException = [this, output](TComponent*) { failure_ = output->ExceptionMessage(); };
  }
  try {
    target_ = std::make_unique<TargetFile>(target);
    StartStep();
  } catch (...) {
    // Cleared up without OnFinished: the caller hears of it from the exception.
    auto finished = std::move(OnFinished);
    OnFinished = nullptr;
    Finish("not started");
    OnFinished = std::move(finished);
    throw;
  }
}

void SegmentJob::StartStep() {
  const std::string of = "/" + std::to_string(PieceCount());
  if (cutting_) {
    if (OnStep) OnStep(" - Cutting ... " + std::to_string(step_ + 1) + of);
    CutPiece(step_ + 1);
  } else {
    if (OnStep) OnStep(" - Joining ... " + std::to_string(step_) + of);
    JoinPair(step_);
  }
}

TAuFileOut& SegmentJob::TargetOutput() {
  switch (format_) {
    case AudioFormat::Mp3:
      CopyMp3Settings(*c_.MP3In1, *c_.MP3Out1);
      return *c_.MP3Out1;
    case AudioFormat::Wma:
      c_.WMAOut1->SetDesiredBitrate(static_cast<uint32_t>(c_.WMIn1->Bitrate()));
      CopyId3v2Fields(c_.WMIn1->Id3v2Tags(), c_.WMAOut1->Id3v2Tags());
      return *c_.WMAOut1;
    default:
      c_.WaveOut1->SetFileMode(foRewrite);
      return *c_.WaveOut1;
  }
}

void SegmentJob::CutPiece(int piece) {
  const FrameRange& range = pieces_[static_cast<size_t>(piece - 1)];
  source_->SetStartSample(range.startSample);
  source_->SetEndSample(range.endSample);
  if (PieceCount() == 1) {
    TAuFileOut& output = TargetOutput();
    output.SetFileName(target_->TemporaryName());
    output.SetInput(source_);
    RunStep(output);
    return;
  }
  c_.WaveOut1->SetFileMode(foRewrite);
  c_.WaveOut1->SetFileName(Piece("cut", piece));
  c_.WaveOut1->SetInput(source_);
  RunStep(*c_.WaveOut1);
}

void SegmentJob::JoinPair(int step) {
  const std::string first = step == 1 ? Piece("cut", 1) : Piece("join", step - 1);
  const std::string second = Piece("cut", step + 1);
  const bool toTarget = step == PieceCount() - 1;
  Join(first, second, toTarget ? target_->TemporaryName() : Piece("join", step), toTarget);
}

void SegmentJob::Join(const std::string& first, const std::string& second, const std::string& output, bool toTarget) {
  // The file so far becomes the output, and the next piece is appended to it,
  // when the output is PCM like the pieces.
  if (appendable_ && (!toTarget || format_ == AudioFormat::Wav)) {
    bool moved = false;
    if (toTarget) {
      moved = target_->TakeOver(first);
    } else if (std::rename(first.c_str(), output.c_str()) == 0) {
      moved = true;
    } else {
      throw std::runtime_error("cannot write " + output + ": " + std::strerror(errno));
    }
    if (moved) {
      c_.WaveIn2->SetFileName(second);
      c_.WaveIn2->SetStartSample(0);
      c_.WaveIn2->SetEndSample(-1);
      c_.WaveOut1->SetFileMode(foAppend);
      c_.WaveOut1->SetFileName(output);
      c_.WaveOut1->SetInput(c_.WaveIn2.get());
      RunStep(*c_.WaveOut1);
      return;
    }
  }
  for (const auto& [input, name] : {std::pair{c_.WaveIn1.get(), first}, std::pair{c_.WaveIn2.get(), second}}) {
    input->SetFileName(name);
    input->SetStartSample(0);
    input->SetEndSample(-1);
  }
  TAudioMixer& mixer = *c_.AudioMixer1;
  mixer.SetMode(amConcatenate);
  mixer.SetVolume1(65535);
  mixer.SetVolume2(65535);
  mixer.SetInput1(c_.WaveIn1.get());
  mixer.SetInput2(c_.WaveIn2.get());
  TAuFileOut& out = toTarget ? TargetOutput() : *c_.WaveOut1;
  c_.WaveOut1->SetFileMode(foRewrite);
  out.SetFileName(output);
  out.SetInput(&mixer);
  RunStep(out);
}

void SegmentJob::RunStep(TAuOutput& output) {
  running_output_ = &output;
  output.Run();
}

void SegmentJob::WaveOut1Done(TAuOutput& output) {
  if (!running_) return;
  running_output_ = nullptr;
  if (std::string failure = RunFailure(output, failure_, target_->Target()); !failure.empty()) return Finish(failure);
  try {
    const int pieces = PieceCount();
    if (cutting_) {
      ++step_;  // pieces cut
      if (step_ < pieces) return StartStep();
      if (pieces > 1) {
        cutting_ = false;
        step_ = 1;
        return StartStep();
      }
    } else if (step_ + 1 < pieces) {
      ++step_;  // the join now running
      return StartStep();
    }
    target_->Commit();
    Finish({});
  } catch (const std::exception& e) {
    Finish(e.what());
  }
}

void SegmentJob::Finish(const std::string& failed) {
  // Whatever step failed, the user knows the job by its target.
  const std::string failure = failed.empty() || !target_ ? failed : WithFileName(failed, target_->Target());
  running_ = false;
  running_output_ = nullptr;
  for (TAuOutput* output : {static_cast<TAuOutput*>(c_.WaveOut1.get()), static_cast<TAuOutput*>(c_.MP3Out1.get()),
                            static_cast<TAuOutput*>(c_.WMAOut1.get())}) {
    output->OnDone = nullptr;
    output->OnThreadException = nullptr;
  }
  c_.WaveOut1->SetFileMode(foRewrite);
  target_.reset();  // an unfinished target goes; a committed one stays
  std::error_code error;
  Leftovers::Forget(folderSlot_);
  folderSlot_ = -1;
  if (!folder_.empty()) fs::remove_all(folder_, error);
  folder_.clear();
  if (OnFinished) OnFinished(failure);
}
