#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/LameEncoder.h"

/// One MP3 stream encoded on several threads. The input is cut into chunks
/// of about 20 seconds on the stream's frame grid; each is encoded by a LAME
/// instance of its own, fed eight frames of the audio before the chunk (their
/// frames are dropped: by then the encoder is where a single one would be)
/// and four after it, so that its last frame is complete. Without the bit
/// reservoir every frame holds its own data, so the chunks' frames put
/// together in order are one valid stream.
inline constexpr int kMp3ChunkSeconds = 20;
class Mp3Chunks {
 public:
  /// Receives the stream's bytes in order, on the thread that calls Write or
  /// Finish: first room for the info frame, then the audio frames.
  using Sink = std::function<void(const uint8_t* bytes, size_t count)>;

  /// Each thread holds a chunk of PCM (3.5 MB at 44.1 kHz stereo): no more are started.
  static constexpr int kMostThreads = 16;

  /// Whether a stream of these settings can be encoded so: without the bit
  /// reservoir, at the input's own rate. Throws when LAME refuses them.
  static bool Suits(const media::LameSettings& settings);

  /// `settings` must suit; the PCM has one channel in mono mode, else two.
  /// At most 16 threads are used, which bounds the memory held.
  Mp3Chunks(const media::LameSettings& settings, int threads, Sink sink);
  /// Stops the workers at their next frame; what was not finished is dropped.
  ~Mp3Chunks();
  Mp3Chunks(const Mp3Chunks&) = delete;
  Mp3Chunks& operator=(const Mp3Chunks&) = delete;

  /// Takes interleaved 16-bit PCM; waits while as many chunks as there are
  /// threads and one more are being encoded. Throws the encoder's error.
  void Write(const int16_t* pcm, size_t frames);
  /// Encodes the rest and returns the Xing/LAME frame of the whole stream,
  /// as long as the room the sink was given first. Throws the encoder's error.
  std::vector<uint8_t> Finish();

 private:
  struct Chunk {
    size_t index = 0;
    std::vector<int16_t> pcm;  // warm-up, the chunk, the frames after it
    size_t dropFrames = 0;     // warm-up frames made before the chunk's own
    size_t keepFrames = 0;     // 0 keeps all (the last chunk)
  };
  struct Encoded {
    std::vector<uint8_t> bytes;
    std::vector<int> frameLengths;
    std::string error;
  };

  void Dispatch(bool last);
  void Work();
  Encoded EncodeChunk(const Chunk& chunk);
  /// Hands the oldest encoded chunk to the sink, waiting for it.
  void DeliverOldest();

  const media::LameSettings settings_;
  const int channels_;
  const Sink sink_;
  size_t frameSamples_ = 1152;  // per MPEG frame at this rate
  size_t chunkFrames_ = 0;      // MPEG frames a chunk keeps
  int delay_ = 576;             // LAME's encoder delay
  size_t maxInFlight_ = 2;

  std::vector<int16_t> pending_;  // input of the chunk being gathered, its warm-up in front
  size_t pendingStart_ = 0;       // the stream frame (of PCM) where pending_ begins
  size_t chunkStart_ = 0;         // the stream frame where the gathered chunk begins
  size_t dispatched_ = 0, delivered_ = 0;
  int64_t samples_ = 0;           // PCM frames written

  std::mutex lock_;
  std::condition_variable changed_;
  std::deque<Chunk> queue_;
  std::map<size_t, Encoded> done_;
  std::atomic<bool> stopping_{false};
  std::vector<std::thread> workers_;

  // What the info frame tells, gathered as the chunks are delivered.
  std::vector<int> frameLengths_;
  std::array<uint8_t, 4> firstHeader_{};
  uint16_t musicCrc_ = 0;
  uint64_t audioBytes_ = 0;
  size_t roomBytes_ = 0;
};
