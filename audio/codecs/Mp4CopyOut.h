#pragma once

#include <atomic>
#include <memory>

#include "audio/codecs/CodecOut.h"
#include "platform/PacketCopy.h"

/// A lossless M4A cut (AAC or ALAC): the source's packets are copied, from
/// one packet before the range to the one that holds its end, and the MP4
/// edit list (with the iTunSMPB comment for AAC) leaves out exactly what
/// lies outside the range. An AAC decoder overlaps each packet with the one
/// before, so the range's first samples come out as they do in the source.
///
/// Input must be a TAuFileIn of an MP4 file (its FileName, StartSample and
/// EndSample are read, its data is not); anything else fails the run with
/// the reason.
class TMp4CopyOut : public TCodecOut {
 public:
  explicit TMp4CopyOut(const CodecTraits& traits) : TCodecOut(traits) {}
  int Progress() const override { return progress_; }

 protected:
  void Prepare() override;
  bool DoOutput(bool Abort) override;
  void Done() override;

 private:
  std::unique_ptr<media::PacketCopy> copy_;  // the run's thread's
  bool finished_ = false;
  std::atomic<int> progress_{0};  // read by the window's thread
};
