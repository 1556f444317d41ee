#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/classes/FileOut.h"
#include "audio/classes/FileStream.h"
#include "audio/mp3/LosslessPlan.h"
#include "audio/mp3/Mp3Stream.h"

/// An MP3 output that writes its input's range without decoding: it copies
/// the source file's frames that hold StartSample..EndSample, puts an info
/// frame in front that tells a gapless decoder exactly which samples to
/// deliver, and carries the ID3v2 tag before and the tags after the frames
/// over byte for byte.
///
/// Input must be a TAuFileIn of an MP3 file; its FileName, StartSample and
/// EndSample (-1: the end) are read, its data is not. The sample numbers are
/// those of the file's gapless decode. A stream that cannot be copied
/// exactly fails the run with the reason (see PlanLosslessCut).
class TMP3LosslessOut : public TAuFileOut {
 public:
  int Progress() const override;
  /// An ID3v2 tag to write in front instead of the source's; empty for the source's.
  void SetId3v2Tag(std::vector<uint8_t> bytes) { if (!Busy()) id3v2_ = std::move(bytes); }
  /// Every granule's global gain moves by this many steps of 1.5 dB (0: the frames as they are).
  void SetGainSteps(int steps) { if (!Busy()) gainSteps_ = steps; }
  /// Of the last run: global gain fields that stopped at 0 or 255.
  int StoppedGains() const { return stoppedGains_; }
  /// The source's tag is written anew with the piece's title, artist and number.
  void TakePieceTags(const PieceTags& piece, const std::string& source) override;

 protected:
  void Prepare() override;
  bool DoOutput(bool Abort) override;
  void Done() override;

 private:
  void Write(const void* data, size_t size);
  std::vector<uint8_t> ReadSource(int64_t offset, int64_t size);
  std::vector<uint8_t> CarriedReservoir() const;
  std::vector<uint8_t> InfoFrame(uint16_t musicCrc) const;

  std::unique_ptr<TAuFileStream> source_;
  std::shared_ptr<const Mp3Stream> stream_;  // shared: a file's scan serves every piece cut from it
  Mp3FrameHeader like_;                       // the frames written are like this one
  LosslessPlan plan_;
  uint8_t firstHeader_[4] = {};
  int64_t infoAt_ = 0;      // where the info frame lies in the new file
  int64_t copyFrom_ = 0, copyEnd_ = 0, copied_ = 0;  // source bytes of the copied frames
  std::vector<int> lengths_;  // of the audio frames written
  std::vector<uint8_t> carrier_;
  uint16_t musicCrc_ = 0;
  std::atomic<int> progress_{0};
  std::vector<uint8_t> id3v2_;
  int gainSteps_ = 0;
  int stoppedGains_ = 0;
  size_t nextFrame_ = 0;  // with a gain: the next frame to copy
};
