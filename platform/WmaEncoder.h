#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/PcmLayout.h"

/// Encoding WMA through libavcodec's WMA encoders and libavformat's ASF
/// muxer, into a file or to the clients of a WmaStreamServer.
namespace media {

class WmaStreamServer;

/// The tag in which the encoder records how many frames were written
/// (decoders deliver whole codec frames, so a few more); our decoder counts
/// that many. Other readers ignore it.
inline constexpr char kSampleCountTag[] = "ClipwrightSampleCount";

/// One format a codec offers.
struct WmaFormat {
  int channels = 0;
  int rate = 0;
  int bitrate = 0;  // bits per second
  /// "<kbps> kbps, <kHz> kHz, <stereo|mono> CBR".
  std::string Description() const;
};

struct WmaCodec {
  std::string name;  // "Windows Media Audio 2 (wmav2)"
  int id = 0;        // FFmpeg's codec id
  std::vector<WmaFormat> formats;  // bit rate high to low
};

/// The codecs FFmpeg can encode, each with the formats it accepts (all CBR).
const std::vector<WmaCodec>& WmaCodecs();

class WmaEncoder {
 public:
  using Tags = std::vector<std::pair<std::string, std::string>>;  // muxer names ("title", "WM/Genre"), UTF-8
  /// Writes to `fileName`, or, with `server`, to its clients at the stream's
  /// own pace. Throws std::runtime_error with the cause when it cannot start.
  WmaEncoder(const WmaCodec& codec, const WmaFormat& format, const PcmLayout& input, const Tags& tags,
             const std::string& fileName, WmaStreamServer* server = nullptr);
  /// Abandons what was not finished.
  ~WmaEncoder();
  WmaEncoder(const WmaEncoder&) = delete;
  WmaEncoder& operator=(const WmaEncoder&) = delete;

  /// Encodes whole frames of PCM (beside the caller, which meanwhile reads
  /// the next block). Throws std::runtime_error with the cause.
  void Write(const uint8_t* pcm, size_t bytes);
  /// Encodes the rest and completes the file or stream. Throws on failure.
  void Finish();

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace media
