#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/jobs/Job.h"
#include "audio/formats/FormatRegistry.h"
#include "app/jobs/SegmentPlan.h"
#include "audio/Forward.h"
#include "audio/mix/Levels.h"

class TargetFile;
struct FormatEntry;

/// The crossfade Segment Cut gives each join unless told not to: long
/// enough to hide the seam, short enough not to be heard as a fade.
inline constexpr int64_t kJoinCrossfadeMs = 10;

/// A Segment Cut: `source` less the ranges `rows`, saved as `target`.
struct RemoveRequest {
  std::string source, target;
  std::vector<RemovedRange> rows;
  /// The file's total time as the window shows it (SegmentTotalMs), which
  /// the rows are checked against.
  int64_t totalMs = 0;
  /// MP3: copy the frames of the one piece that remains.
  bool lossless = false;
  /// Each join of two pieces crossfades over this long (0: none), taken
  /// from the removed range, so that the result's length is unchanged.
  int64_t crossfadeMs = 0;
  FadeCurve crossfadeCurve = FadeCurve::EqualPower;
  /// An existing target may be replaced (the window asked; the tool's --force).
  bool replaceTarget = false;
  /// Where the job makes its folder of pieces, with a trailing slash.
  std::string workFolder;
};

/// The total time a Segment Cut checks its rows against: the file's length
/// as the windows show it, or, under a second, what its input counts.
int64_t SegmentTotalMs(const std::string& source);

/// Checks the request (the source, each row and all of them, the target)
/// and starts the job. Raises JobRefused, with nothing started and nothing written.
std::unique_ptr<Job> StartRemove(const RemoveRequest& request, JobEvents events);

/// Removes ranges from a file and saves what remains, as a chain of steps,
/// one run of one output each: every kept piece is cut into a file of its
/// own, then the pieces are joined two at a time, left to right, the last
/// join writing the target. The pieces and the joins between them are 16-bit
/// (or the source's own) PCM WAV files in a folder of the job's own; only the
/// step that writes the target encodes to the source's format, with the
/// source's tags and encoder settings. Joins of PCM pieces append the next
/// piece to the file so far instead of copying both.
///
/// The steps run on the outputs' threads; their OnDone events (on the main
/// thread) start the next step. The job sets the outputs' OnDone and
/// OnThreadException while it runs.
class SegmentJob : public Job {
 public:
  /// `events.step` hears each step as it starts: " - Cutting ... 1/4", " - Joining ... 1/4".
  SegmentJob(const FormatEntry& format, JobEvents events);
  /// Stops a running step; the job's folder and the unfinished target go.
  ~SegmentJob() override;
  SegmentJob(const SegmentJob&) = delete;
  SegmentJob& operator=(const SegmentJob&) = delete;

  /// Plans the pieces of the checked rows and starts the first step. The
  /// job's folder is made inside `workFolder`. Raises JobRefused (nothing
  /// started, nothing written).
  void Start(const std::string& source, const std::vector<RemovedRange>& rows, int64_t totalMs,
             const std::string& target, const std::string& workFolder);
  /// Before Start: each join crossfades over up to `ms`, half on each side
  /// of it, never more than the removed range holds on either side.
  void SetCrossfade(int64_t ms, FadeCurve curve) { crossfadeMs_ = ms; crossfadeCurve_ = curve; }
  bool Running() const override { return running_; }
  void Stop() override;
  /// The number of kept pieces of the job (N of the captions).
  int PieceCount() const { return static_cast<int>(pieces_.size()); }

 private:
  void StartStep();
  void CutPiece(int piece);
  void JoinPair(int step);
  /// Writes `first` followed by `second` into `output` with the format's
  /// output (the target) or the PCM writer (an intermediate file).
  void Join(const std::string& first, const std::string& second, const std::string& output, bool toTarget);
  /// Starts `output` on `input` and keeps it as the running step.
  void RunStep(TAuOutput& output);
  /// The OnDone of every output: the step ended.
  void WaveOut1Done(TAuOutput& output);
  void Finish(const std::string& failure);
  /// The format's output, set up to write the target with the source's settings.
  TAuFileOut& TargetOutput();
  std::string Piece(const char* kind, int n) const;

  const FormatEntry& format_;
  JobEvents events_;
  std::unique_ptr<TargetFile> target_;
  // The components: the source format's input and output, and the PCM ones
  // of the pieces. Outputs last: they stop before the mixer and the inputs go.
  std::unique_ptr<TAuFileIn> source_;
  std::unique_ptr<TWaveIn> WaveIn1, WaveIn2;
  std::unique_ptr<TAudioMixer> AudioMixer1;
  std::unique_ptr<TAuLevels> levels_;  // fades a piece's ends for its crossfades
  std::unique_ptr<TAuFileOut> targetOutput_;
  std::unique_ptr<TWaveOut> WaveOut1;
  std::vector<FrameRange> pieces_;
  /// Frames each join's crossfade takes from the removed range on each side (half of it).
  std::vector<int64_t> seamHalves_;
  int64_t crossfadeMs_ = 0;
  FadeCurve crossfadeCurve_ = FadeCurve::EqualPower;
  std::string folder_;           // the job's own, with a trailing slash
  int folderSlot_ = -1;          // where the signal handler finds folder_
  bool appendable_ = false;      // the pieces are plain PCM: a join can append
  bool cutting_ = true;          // CuttingPhase
  int step_ = 0;                 // StepCount: steps finished in this phase
  TAuOutput* running_output_ = nullptr;
  std::string failure_;
  bool running_ = false;
};
