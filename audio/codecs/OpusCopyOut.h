#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/classes/FileStream.h"
#include "audio/codecs/CodecOut.h"
#include "platform/OggOpus.h"

/// A lossless Opus cut: the source's packets are copied from 80 ms before
/// the range (what a decoder needs to settle) to the one that holds its
/// end, into new Ogg pages whose OpusHead pre-skip drops the samples before
/// the range and whose last granule position ends it: a player decodes
/// exactly the range's length from the source's own packets. Samples differ
/// from the source's decode only as far as the decoder's state before the
/// first copied packet is missing, which the pre-roll makes up for.
///
/// Input must be a TAuFileIn of an Ogg Opus file (its FileName, StartSample
/// and EndSample are read, its data is not); anything else fails the run
/// with the reason.
class TOpusCopyOut : public TCodecOut {
 public:
  explicit TOpusCopyOut(const CodecTraits& traits) : TCodecOut(traits) {}
  int Progress() const override { return progress_; }

 protected:
  void Prepare() override;
  bool DoOutput(bool Abort) override;
  void Done() override;

 private:
  /// The packet's bytes, read through a window on the source.
  const uint8_t* PacketBytes(const media::OggOpusPacket& packet);
  void Write(const std::vector<uint8_t>& bytes);

  std::unique_ptr<TAuFileStream> source_;
  media::OggOpusStream stream_;
  std::unique_ptr<media::OggPageWriter> pages_;
  size_t first_ = 0, last_ = 0, next_ = 0;  // the packets copied
  int preSkip_ = 0;
  int64_t length_ = 0;  // samples of the range
  std::vector<uint8_t> window_, packet_, pending_;
  int64_t windowAt_ = 0;
  std::atomic<int> progress_{0};
};
