#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "audio/peaks/PeakStore.h"

/// Peaks of one file for a waveform view, worked out in the background.
///
/// An MP3 file first gets a complete overview estimated from its frames'
/// side information (a fraction of a second for an hour), then every block
/// is replaced by the peaks of the decoded samples, on every core. Integer
/// PCM WAV is read directly in large blocks; other files are decoded. The
/// view reads columns whenever Version() moves. Destroying the provider
/// cancels the work and waits for its threads, which look at the flag
/// between blocks.
class PeaksProvider {
 public:
  /// What to work out: the first complete overview only, or everything.
  enum class Depth { Overview, Exact };
  /// `frames` and `channels` as the file's input counts them. `threads` 0:
  /// as many as the machine has.
  PeaksProvider(std::string fileName, int channels, int64_t frames, int threads = 0, Depth depth = Depth::Exact);
  ~PeaksProvider();
  PeaksProvider(const PeaksProvider&) = delete;
  PeaksProvider& operator=(const PeaksProvider&) = delete;

  /// The file's overview can be estimated from its frames without decoding
  /// (layer III frames, whose side information tells their loudness).
  static bool Estimates(const std::string& fileName);

  const std::string& FileName() const { return fileName_; }
  int64_t Frames() const { return store_.Frames(); }
  int Channels() const { return store_.Channels(); }
  /// Moves whenever there is something new to draw.
  uint64_t Version() const { return store_.Version() + detailVersion_.load(); }

  /// `width` columns over frames [from, to). Columns narrower than the
  /// store's blocks, or over blocks not yet exact, are read from the decoded
  /// samples in the background; until they are there, the store's columns
  /// stand in.
  PeakColumns Columns(int64_t from, int64_t to, int width);

  /// Every block is at least estimated (an MP3's overview) or the work ended.
  bool OverviewReady() const { return overview_.load(); }
  /// The work ended: all exact, failed or cancelled.
  bool Finished() const { return finished_.load(); }
  /// Why the work failed (empty when it did not).
  std::string Failure() const;
  /// Asks the work to stop, without waiting for it.
  void Cancel();
  /// Every thread of the provider has ended: destroying it does not wait.
  bool Stopped() const { return finished_.load() && detailEnded_.load(); }
  /// Blocks until the overview is ready, or until the work ends.
  void WaitForOverview();
  void WaitUntilFinished();

 private:
  void Work();
  void EstimateMp3();
  void Refine();
  void DetailWork();
  bool Cancelled() const { return cancel_.load(); }
  void Signal(std::atomic<bool>& flag);

  std::string fileName_;
  int threads_;
  Depth depth_;
  PeakStore store_;
  std::atomic<bool> cancel_{false}, overview_{false}, finished_{false}, detailEnded_{false};
  mutable std::mutex lock_;  // failure_, detail request and result; waits
  std::condition_variable changed_;
  std::string failure_;

  struct Request {
    int64_t from = 0, to = 0;
    int width = 0;
    bool operator==(const Request&) const = default;
  };
  std::optional<Request> wanted_;       // the newest request not yet taken
  Request working_;                     // what the detail thread reads now
  std::optional<Request> doneRequest_;  // and what it read last
  PeakColumns done_;
  std::atomic<uint64_t> detailVersion_{0};

  std::thread worker_;
  std::thread detail_;
};
