#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "Ffmpeg.h"
#include "platform/BlockWorker.h"
#include "platform/FrameQueue.h"
#include "platform/PcmLayout.h"

namespace media {

/// What the FFmpeg encoders share: the codec context, the queue that cuts
/// the PCM into the encoder's frames, the thread that encodes beside the
/// caller (which meanwhile reads the next block), the send and receive loop,
/// and the words of the first failure. The muxer is the owner's: each packet
/// goes to its sink.
class EncoderCore {
 public:
  /// Writes one packet (its time base is the codec's); false on failure, said through Check.
  using PacketSink = std::function<bool(AVPacket& packet)>;

  explicit EncoderCore(const PcmLayout& input);
  ~EncoderCore();
  EncoderCore(const EncoderCore&) = delete;
  EncoderCore& operator=(const EncoderCore&) = delete;

  /// The codec context, allocated for `codec`; the owner sets it up and opens it.
  AVCodecContext& NewContext(const AVCodec& codec);
  AVCodecContext* Context() const { return encoder_; }
  void FreeContext();

  /// Once the context is open: the frame queue and the encoding thread, whose packets go to `sink`.
  void Start(PacketSink sink);
  FrameQueue& Queue() { return *queue_; }

  /// Hands whole frames of PCM to the encoding thread; false on failure.
  bool Write(const uint8_t* bytes, size_t length);
  /// Waits for the encoding thread to empty; false when it failed.
  bool FinishWriting();
  /// Encodes every whole frame waiting; with `rest`, the short last one too.
  bool EncodeWhole(bool rest = false);
  /// Drains the encoder.
  bool Flush() { return Encode(nullptr); }

  int64_t SamplesEncoded() const { return samplesEncoded_; }
  int64_t Packets() const { return packets_; }

  /// True for a result of 0 or more; otherwise keeps the first failure's words.
  bool Check(int result);
  void ForgetFailure();
  std::string FailureText();
  [[noreturn]] void Fail(const char* otherwise);

  /// Stops the encoding thread, first of all that is released.
  void StopWriting();
  /// Frees everything it holds.
  void Release();

 private:
  bool EncodeFrame(int frames);
  bool Encode(AVFrame* frame);

  const PcmLayout input_;
  std::mutex failureLock_;  // the encoding thread sets, the caller reads
  std::string failureText_;
  AVCodecContext* encoder_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVPacket* packet_ = nullptr;
  std::unique_ptr<FrameQueue> queue_;
  std::unique_ptr<BlockWorker> encoding_;
  PacketSink sink_;
  int64_t samplesEncoded_ = 0;
  int64_t packets_ = 0;
};

}  // namespace media
