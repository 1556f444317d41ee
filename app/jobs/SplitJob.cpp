#include "app/jobs/SplitJob.h"

#include "app/jobs/LoudnessJob.h"

#include <filesystem>

#include "app/jobs/CutJob.h"
#include "audio/ACS_Classes.h"
#include "audio/formats/FormatRegistry.h"

namespace fs = std::filesystem;

namespace {

/// Runs the pieces' cuts one after the other, each started when the one
/// before has ended.
class SplitJob : public Job {
 public:
  SplitJob(const SplitRequest& request, JobEvents events)
      : request_(request), files_(PieceFiles(request)), order_(PiecesToWrite(request)), events_(std::move(events)) {}

  bool Running() const override { return running_; }
  /// Tags set in each piece, by its number.
  void SetPieceTags(std::vector<TagFields> tags) { pieceTags_ = std::move(tags); }
  ErrorKind FailureKind() const override { return cut_ ? cut_->FailureKind() : ErrorKind::Failed; }
  void Stop() override {
    if (cut_) cut_->Stop();
  }

  void StartPiece() {
    const size_t step = next_++;
    const size_t i = order_[step];
    const SplitPiece& piece = request_.pieces[i];
    if (events_.step) events_.step(" - Splitting ... " + std::to_string(step + 1) + "/" + std::to_string(order_.size()));
    CutRequest cut;
    cut.source = request_.source;
    cut.target = files_[i];
    cut.frames = [range = piece.range](int) { return range; };
    cut.lossless = request_.lossless;
    cut.levels = request_.levels;
    cut.replayGainTrack = request_.replayGain == ReplayGainMode::Track;
    if (i < pieceTags_.size()) cut.extraTags = pieceTags_[i];
    cut.replaceTarget = request_.replaceTargets;
    cut.adjustOutput = [tags = PieceTags{piece.title, piece.artist, piece.track, piece.tracks},
                        source = request_.source](TAuFileOut& output) { output.TakePieceTags(tags, source); };
    JobEvents events;
    events.progress = [this, step](int percent) {
      if (events_.progress) events_.progress(static_cast<int>((step * 100 + percent) / order_.size()));
    };
    events.finished = [this, step](const std::string& failure) { PieceDone(step, failure); };
    if (events_.note)
      events.note = [this, i](const std::string& note) { events_.note("piece " + std::to_string(i + 1) + ": " + note); };
    running_ = true;
    cut_ = StartCut(cut, std::move(events));
  }

 private:
  void PieceDone(size_t step, const std::string& failure) {
    if (!failure.empty() || next_ == order_.size()) {
      running_ = false;
      std::string said = failure;
      if (!failure.empty()) {
        const size_t i = order_[step];
        said = "piece " + std::to_string(i + 1) + " of " + std::to_string(request_.pieces.size()) + " (" +
               files_[i] + ") was not saved: " + failure;
        if (step > 0) said += ". Saved before it: " + std::to_string(step) + " pieces, up to " + files_[order_[step - 1]];
      }
      if (events_.finished) events_.finished(said);
      return;
    }
    // The finished cut's job is on the stack below us: it goes with the next piece's end.
    finishedCuts_.clear();
    finishedCuts_.push_back(std::move(cut_));
    try {
      StartPiece();
    } catch (const std::exception& e) {
      PieceDone(next_ - 1, e.what());
    }
  }

  const SplitRequest request_;
  const std::vector<std::string> files_;
  const std::vector<size_t> order_;
  std::vector<TagFields> pieceTags_;
  JobEvents events_;
  size_t next_ = 0;
  bool running_ = false;
  std::vector<std::unique_ptr<Job>> finishedCuts_;
  std::unique_ptr<Job> cut_;
};

}  // namespace

std::vector<size_t> PiecesToWrite(const SplitRequest& request) {
  if (!request.only.empty()) return request.only;
  std::vector<size_t> all(request.pieces.size());
  for (size_t i = 0; i < all.size(); ++i) all[i] = i;
  return all;
}

std::vector<std::string> PieceFiles(const SplitRequest& request) {
  std::vector<std::string> files;
  const auto count = static_cast<int>(request.pieces.size());
  for (int i = 0; i < count; ++i)
    files.push_back((fs::path(request.folder) / PieceName(request.pattern, request.pieces[static_cast<size_t>(i)], i + 1,
                                                          count, request.source))
                        .string());
  return files;
}

std::unique_ptr<Job> StartSplit(const SplitRequest& request, JobEvents events) {
  // A lossless split reads the source by its frames only: each piece's cut checks it.
  if (!request.lossless) OpenSource(request.source, &FormatEntry::newInput);
  std::error_code error;
  if (!fs::is_directory(request.folder, error))
    throw JobRefused(ErrorKind::Usage, "the folder for the pieces does not exist", request.folder);
  if (request.pieces.empty()) throw JobRefused(ErrorKind::Usage, "there is no piece to save", request.source);
  const std::vector<std::string> files = PieceFiles(request);
  for (size_t i = 0; i < files.size(); ++i)
    for (size_t j = 0; j < i; ++j)
      if (files[i] == files[j])
        throw JobRefused(ErrorKind::Usage, "two pieces would have the same name (give --name a {n})", files[i]);
  for (const size_t i : PiecesToWrite(request)) {
    if (i >= files.size()) throw JobRefused(ErrorKind::Usage, "there is no such piece to save", request.source);
    CheckTarget(files[i], {request.source}, request.replaceTargets);
  }
  auto job = std::make_unique<SplitJob>(request, std::move(events));
  if (request.replayGain == ReplayGainMode::Album) {
    if (request.levels.gainDb != 0 || request.levels.normalize != LevelRequest::Normalize::None)
      throw JobRefused(ErrorKind::Usage, "album ReplayGain measures the pieces as they are: give it without --gain or --normalize");
    // Every piece measured before the first is cut: the album's values go in each.
    std::vector<std::pair<int64_t, int64_t>> ranges;
    for (const SplitPiece& piece : request.pieces) ranges.emplace_back(piece.range.startSample, piece.range.endSample + 1);
    const RangesLoudness loudness = MeasureLoudnessOfRanges(request.source, ranges);
    const TagFields album = ReplayGainFields(loudness.together, 1.0, true);
    std::vector<TagFields> tags;
    for (const media::LoudnessFigures& figures : loudness.each) {
      tags.push_back(ReplayGainFields(figures, 1.0, false));
      tags.back().insert(tags.back().end(), album.begin(), album.end());
    }
    job->SetPieceTags(std::move(tags));
  }
  job->StartPiece();
  return job;
}
