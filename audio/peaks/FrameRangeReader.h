#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TAuFileIn;

/// Interleaved 16-bit frames of any range of a file, by the fastest way the
/// file allows: integer PCM WAV straight from the file in large reads, an
/// intact MP3 by handing its frames to the decoder from a few frames before
/// the range (the same samples its input delivers, without opening and
/// counting the file for every range), everything else through the file's
/// input (exact seeking included). One reader belongs to one thread; the
/// readers of one file may run side by side, sharing what a first look at
/// the file found (its Layout).
class FrameRangeReader {
 public:
  using Sink = std::function<void(const int16_t* samples, int64_t frames)>;
  using FloatSink = std::function<void(const float* samples, int64_t frames)>;

  /// How a file is read, found once for all its readers.
  struct Layout;
  /// Looks at a file: opens its input, and walks an MP3's frames. Raises
  /// EAuException when the file's format has no input. `cancelled` may cut
  /// short the walk (the readers then decode through the input).
  static std::shared_ptr<const Layout> Look(const std::string& fileName, const std::function<bool()>& cancelled = {});

  explicit FrameRangeReader(std::shared_ptr<const Layout> layout);
  explicit FrameRangeReader(const std::string& fileName, const std::function<bool()>& cancelled = {})
      : FrameRangeReader(Look(fileName, cancelled)) {}
  ~FrameRangeReader();

  int Channels() const { return channels_; }
  /// Hands `sink` the frames [from, to) in order, in pieces, and returns how
  /// many it handed (fewer when the file ends early or when cancelled).
  int64_t Read(int64_t from, int64_t to, const Sink& sink, const std::function<bool()>& cancelled = {});
  /// The same as floats (full scale 1.0) for measuring: a lossy file's as
  /// its decoder makes them, above full scale where it goes there, integer
  /// PCM scaled exactly. Through the file's input, but for PCM WAV.
  int64_t ReadFloat(int64_t from, int64_t to, const FloatSink& sink, const std::function<bool()>& cancelled = {});

 private:
  int64_t ReadPcm(int64_t from, int64_t to, const Sink& sink, const std::function<bool()>& cancelled);
  /// Whole frames of integer PCM as the file holds them.
  int64_t ReadPcmBytes(int64_t from, int64_t to, const std::function<void(const uint8_t*, int64_t)>& sink,
                       const std::function<bool()>& cancelled);
  int64_t ReadMp3(int64_t from, int64_t to, const Sink& sink, const std::function<bool()>& cancelled);

  std::shared_ptr<const Layout> layout_;
  std::unique_ptr<TAuFileIn> input_;                  // for files read through their input
  std::unique_ptr<TAuFileIn> floatInput_;             // the same delivering floats, made when first asked
  std::vector<float> floats_;
  std::unique_ptr<class Mp3FrameDecoder> decoder_;    // for an intact MP3's frames
  int channels_ = 0;
  int bits_ = 0;
  int fd_ = -1;
  std::vector<int16_t> decoded_;
  std::vector<uint8_t> bytes_;
  std::vector<int16_t> samples_;
};

/// Reads frames [from, to) of a file in chunks of `chunkFrames` (the first
/// starting at `from`) on `threads` threads, each with its own reader, and
/// hands every piece to `piece(thread, at, samples, frames)`, `at` being
/// the piece's first frame; pieces of one chunk come in order, on one
/// thread. Stops early when `cancelled` says so. Raises the first failure
/// of any thread, and EAuException when a chunk delivers less than it asked.
/// With `background`, the threads yield to the rest of the process (a
/// window's thread stays responsive while they fill every core).
void ReadInParallel(const std::string& fileName, int64_t from, int64_t to, int64_t chunkFrames, int threads,
                    const std::function<void(int thread, int64_t at, const int16_t* samples, int64_t frames)>& piece,
                    const std::function<bool()>& cancelled = {}, bool background = false);

/// Lowers the calling thread's priority below the process's others.
void RunInBackground();

/// `width` columns over frames [from, to) of a file, exact (from the
/// samples its input delivers), read on `threads` threads.
class ColumnPeaks;
ColumnPeaks ReadColumnPeaksInParallel(const std::string& fileName, int channels, int64_t from, int64_t to, int width,
                                      int threads, const std::function<bool()>& cancelled = {});

/// The threads to read with: one per core this process may use.
int MachineThreads();
