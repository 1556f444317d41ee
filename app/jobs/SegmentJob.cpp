#include "app/jobs/SegmentJob.h"

#include <stdlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "app/jobs/CutJob.h"
#include "app/jobs/Global.h"
#include "platform/Leftovers.h"
#include "app/jobs/TargetFile.h"
#include "audio/ACS_AudioMix.h"
#include "audio/classes/Sealed.h"
#include "audio/ACS_LAME.h"
#include "audio/ACS_Wave.h"
#include "audio/ACS_WinMedia.h"
#include "audio/ACS_smpeg.h"
#include "audio/formats/FormatRegistry.h"
#include "audio/formats/SettingsCopy.h"
#include "platform/Error.h"

namespace fs = std::filesystem;

namespace {

constexpr char kFolderStem[] = "segment-";

}  // namespace

SegmentJob::SegmentJob(const FormatEntry& format, JobEvents events)
    : format_(format),
      events_(std::move(events)),
      source_(format.newInput()),
      WaveIn1(std::make_unique<Sealed<TWaveIn>>()),
      WaveIn2(std::make_unique<Sealed<TWaveIn>>()),
      AudioMixer1(std::make_unique<Sealed<TAudioMixer>>()),
      levels_(std::make_unique<Sealed<TAuLevels>>()),
      targetOutput_(format.newOutput()),
      WaveOut1(std::make_unique<Sealed<TWaveOut>>()) {
  // The pieces are work files of plain PCM, whatever the source.
  WaveOut1->SetBlockSize(512);
  WaveOut1->SetCreateNonMsHeaders(false);
  AudioMixer1->SetMode(amConcatenate);
}

SegmentJob::~SegmentJob() {
  if (!running_) return;
  // Stopped without a word: nobody is left to tell.
  if (running_output_) running_output_->Stop(false);
  events_.finished = nullptr;
  Finish("stopped");
}

void SegmentJob::Stop() {
  if (running_output_) running_output_->Stop(true);
}

std::string SegmentJob::Piece(const char* kind, int n) const { return folder_ + kind + std::to_string(n) + ".wav"; }

void SegmentJob::Start(const std::string& source, const std::vector<RemovedRange>& rows, int64_t totalMs,
                       const std::string& target, const std::string& workFolder) {
  if (running_) throw JobRefused(ErrorKind::Failed, "A segment cut is already running.");
  if (rows.empty()) throw JobRefused(ErrorKind::Usage, "There is no range to remove.");
  source_->SetStartSample(0);
  source_->SetEndSample(-1);
  const int rate = InputRate(format_, *source_, source);
  if (const std::string refusal = CheckRows(rows, totalMs, source_->TotalSamples()); !refusal.empty())
    throw JobRefused(ErrorKind::Usage, refusal);
  if (totalMs <= 0) throw JobRefused("The file is too short to be cut: " + source);
  pieces_ = PiecesOfRows(rows, totalMs, rate, source_->TotalSamples());
  if (pieces_.empty()) throw JobRefused(kNothingRemains);  // of the source, as the tool has always said (exit 2)
  // Pieces of up to 16 bits in one or two channels are plain PCM, which a join can append to.
  appendable_ = source_->Channels() <= 2 && source_->BitsPerSample() <= 16;
  // Half of each crossfade lies on each side of its join, in the removed range.
  seamHalves_.assign(pieces_.size() > 0 ? pieces_.size() - 1 : 0, 0);
  const int64_t half = FrameOfMs(crossfadeMs_, rate) / 2;
  for (size_t i = 0; i + 1 < pieces_.size() && half > 0; ++i) {
    const int64_t gap = pieces_[i + 1].startSample - pieces_[i].endSample - 1;
    seamHalves_[i] = std::clamp<int64_t>(gap, 0, half);
  }
  WaveOut1->SetWavType(wtPCM);

  Leftovers::RemoveThoseOfDeadRuns(workFolder, kFolderStem);
  std::string folder = Leftovers::OwnedTemplate(workFolder, kFolderStem);
  if (::mkdtemp(folder.data()) == nullptr)
    throw JobRefused(ErrorKind::Failed, "cannot create a folder in " + workFolder + ": " + ErrnoText(errno));
  folder_ = folder + "/";
  folderSlot_ = Leftovers::RemoveOnSignal(folder_.c_str(), true);
  running_ = true;
  failure_.clear();
  cutting_ = true;
  step_ = 0;
  for (TAuOutput* output : {static_cast<TAuOutput*>(WaveOut1.get()), static_cast<TAuOutput*>(targetOutput_.get())}) {
    output->OnDone = [this, output](TComponent*) { WaveOut1Done(*output); };
    output->OnThreadException = [this, output](TComponent*) { failure_ = output->ExceptionMessage(); };
  }
  try {
    target_ = std::make_unique<TargetFile>(target);
    StartStep();
  } catch (...) {
    // Cleared up without `finished`: the caller hears of it from the exception.
    auto finished = std::move(events_.finished);
    events_.finished = nullptr;
    Finish("not started");
    events_.finished = std::move(finished);
    throw;
  }
}

void SegmentJob::StartStep() {
  const std::string of = "/" + std::to_string(PieceCount());
  if (cutting_) {
    if (events_.step) events_.step(" - Cutting ... " + std::to_string(step_ + 1) + of);
    CutPiece(step_ + 1);
  } else {
    if (events_.step) events_.step(" - Joining ... " + std::to_string(step_) + of);
    JoinPair(step_);
  }
}

TAuFileOut& SegmentJob::TargetOutput() {
  format_.copySettings(*source_, *targetOutput_, SettingsUse::Cut);
  WaveOut1->SetFileMode(foRewrite);
  return *targetOutput_;
}

void SegmentJob::CutPiece(int piece) {
  const FrameRange& range = pieces_[static_cast<size_t>(piece - 1)];
  source_->SetStartSample(range.startSample);
  source_->SetEndSample(range.endSample);
  if (PieceCount() == 1) {
    TAuFileOut& output = TargetOutput();
    output.SetFileName(target_->TemporaryName());
    output.SetInput(source_.get());
    RunStep(output);
    return;
  }
  WaveOut1->SetFileMode(foRewrite);
  WaveOut1->SetFileName(Piece("cut", piece));
  const size_t at = static_cast<size_t>(piece - 1);
  const int64_t before = at > 0 ? seamHalves_[at - 1] : 0, after = at < seamHalves_.size() ? seamHalves_[at] : 0;
  if (before == 0 && after == 0) {
    WaveOut1->SetInput(source_.get());
  } else {
    // Into the removed ranges, fading over both halves of each crossfade.
    source_->SetStartSample(range.startSample - before);
    source_->SetEndSample(range.endSample + after);
    levels_->SetInput(source_.get());
    levels_->SetFades(2 * before, 2 * after, crossfadeCurve_);
    WaveOut1->SetInput(levels_.get());
  }
  RunStep(*WaveOut1);
}

void SegmentJob::JoinPair(int step) {
  const std::string first = step == 1 ? Piece("cut", 1) : Piece("join", step - 1);
  const std::string second = Piece("cut", step + 1);
  const bool toTarget = step == PieceCount() - 1;
  AudioMixer1->SetOverlap(2 * seamHalves_[static_cast<size_t>(step - 1)]);
  Join(first, second, toTarget ? target_->TemporaryName() : Piece("join", step), toTarget);
}

void SegmentJob::Join(const std::string& first, const std::string& second, const std::string& output, bool toTarget) {
  // The file so far becomes the output, and the next piece is appended to it,
  // when the output is PCM like the pieces and nothing of them overlaps.
  if (appendable_ && AudioMixer1->Overlap() == 0 && (!toTarget || format_.appends)) {
    bool moved = false;
    if (toTarget) {
      moved = target_->TakeOver(first);
    } else if (std::rename(first.c_str(), output.c_str()) == 0) {
      moved = true;
    } else {
      throw Error(ErrorKind::Failed, "cannot write " + output + ": " + ErrnoText(errno));
    }
    if (moved) {
      // The pieces have no tags, so that they can be appended to; the result has the source's.
      WaveOut1->SetSourceTags({});
      WaveOut1->SetPictures({});
      if (toTarget) CarrySourceTags(*source_, *WaveOut1);
      WaveIn2->SetFileName(second);
      WaveIn2->SetStartSample(0);
      WaveIn2->SetEndSample(-1);
      WaveOut1->SetFileMode(foAppend);
      WaveOut1->SetFileName(output);
      WaveOut1->SetInput(WaveIn2.get());
      RunStep(*WaveOut1);
      return;
    }
  }
  for (const auto& [input, name] : {std::pair{WaveIn1.get(), first}, std::pair{WaveIn2.get(), second}}) {
    input->SetFileName(name);
    input->SetStartSample(0);
    input->SetEndSample(-1);
  }
  TAudioMixer& mixer = *AudioMixer1;
  mixer.SetMode(amConcatenate);
  mixer.SetVolume1(65535);
  mixer.SetVolume2(65535);
  mixer.SetInput1(WaveIn1.get());
  mixer.SetInput2(WaveIn2.get());
  TAuFileOut& out = toTarget ? TargetOutput() : *WaveOut1;
  WaveOut1->SetFileMode(foRewrite);
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
  for (TAuOutput* output : {static_cast<TAuOutput*>(WaveOut1.get()), static_cast<TAuOutput*>(targetOutput_.get())}) {
    output->OnDone = nullptr;
    output->OnThreadException = nullptr;
  }
  WaveOut1->SetFileMode(foRewrite);
  target_.reset();  // an unfinished target goes; a committed one stays
  std::error_code error;
  Leftovers::Forget(folderSlot_);
  folderSlot_ = -1;
  if (!folder_.empty()) fs::remove_all(folder_, error);
  folder_.clear();
  if (events_.finished) events_.finished(failure);
}

int64_t SegmentTotalMs(const std::string& source) {
  const std::unique_ptr<TAuFileIn> input = OpenSource(source, &FormatEntry::newInput);
  if (const int64_t shown = ShownLengthMs(source); shown > 0) return shown;
  return input->SampleRate() > 0 ? input->TotalSamples() * 1000 / input->SampleRate() : 0;
}

namespace {

/// Removing ranges losslessly keeps one piece: the formats that copy frames
/// or packets can tell a decoder to drop samples at their start and end only,
/// so a join would not be exact.
std::unique_ptr<Job> StartLosslessRemove(const FormatEntry& format, const RemoveRequest& request, JobEvents events) {
  auto job = std::make_unique<OutputJob>(std::move(events));
  TAuFileIn& input = job->Keep(format.newInput());
  TAuFileOut& output = job->SetOutput(format.newLosslessOutput());
  const int rate = InputRate(format, input, request.source);
  const std::vector<FrameRange> pieces =
      PiecesOfRows(request.rows, request.totalMs, rate, input.TotalSamples());
  if (pieces.empty()) throw JobRefused(ErrorKind::UnreadableFile, kNothingRemains);
  if (pieces.size() > 1) {
    // MP3 frames hold a fixed number of samples: copied after a join they
    // stay in step with the source, which a removed range of any other
    // length breaks, and nothing in the stream can move them.
    const std::string why =
        format.walksFrames
            ? "an MP3 file can leave out samples at its start and end only, and the frames copied after a join "
              "would have to move by part of a frame (1152 samples), which takes encoding them again"
            : std::string("a ") + format.name + " file can leave out samples at its start and end only, not where two pieces meet";
    throw JobRefused(ErrorKind::Failed,
                     "--lossless keeps one piece only: " + std::to_string(pieces.size()) + " pieces would remain, and " +
                         why + ". Remove ranges at the start and end only, or leave out --lossless to re-encode",
                     request.source);
  }
  PrepareLosslessCut(input, output, request.source, pieces.front(), job->OpenTarget(request.target));
  // An output that does not read the tags from the file itself is given them, as a cut's is.
  if (!format.walksFrames) format.copySettings(input, output, SettingsUse::Cut);
  job->Run();
  return job;
}

}  // namespace

std::unique_ptr<Job> StartRemove(const RemoveRequest& request, JobEvents events) {
  const int64_t frames = OpenSource(request.source, &FormatEntry::newInput)->TotalSamples();
  const FormatEntry& format = *FormatEntryOfFile(request.source);
  CheckTargetFormat(format, request.target, "the source is");
  for (const RemovedRange& row : request.rows)
    if (const std::string refusal = CheckNewRow(row, request.totalMs, frames); !refusal.empty())
      throw JobRefused(ErrorKind::Usage, refusal);
  if (const std::string refusal = CheckRows(request.rows, request.totalMs, frames); !refusal.empty())
    throw JobRefused(ErrorKind::Usage, refusal);
  const bool copyFrames = request.lossless && !PlainCutIsLossless(format, request.source);  // FLAC: lossless anyway
  if (copyFrames && !format.newLosslessOutput) throw JobRefused(ErrorKind::Usage, NoLosslessCut(&format), request.source);
  CheckTarget(request.target, {request.source}, request.replaceTarget);
  if (copyFrames) return StartLosslessRemove(format, request, std::move(events));
  auto job = std::make_unique<SegmentJob>(format, std::move(events));
  job->SetCrossfade(request.crossfadeMs, request.crossfadeCurve);
  job->Start(request.source, request.rows, request.totalMs, request.target, request.workFolder);
  return job;
}
