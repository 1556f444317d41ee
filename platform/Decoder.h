#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/ByteSource.h"
#include "platform/Chapter.h"

/// A compressed audio file (MP3, WMA) decoded to interleaved integer PCM
/// through libavformat, libavcodec and libswresample, with sample-exact
/// seeking: after Seek(n) the first sample delivered is sample n of what a
/// decode from the start delivers.
namespace media {

/// Loads FFmpeg's libraries now, where the first file's open would
/// otherwise wait for them (tens of milliseconds of symbol lookups). A
/// failure is left for that open to say.
void PreloadDecoderLibraries();

class Decoder {
 public:
  /// Opens the file `source` holds from byte `base` on. Throws std::runtime_error
  /// (FFmpeg's reason) when no demuxer takes it, or it holds no audio that decodes.
  Decoder(std::shared_ptr<ByteSource> source, int64_t base = 0);
  ~Decoder();
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;

  /// The audio codec (FFmpeg's short name: "aac", "alac", "opus", "flac"...).
  std::string Codec() const;
  /// The container ("mp4", "ogg", "flac", "asf", "adts", "mp3"...).
  std::string Container() const;
  bool IsMp3() const;
  bool IsAsf() const;
  /// Leaves `bytes` at `at` out of the demuxer's view (junk between an MP3's
  /// tag and its first frame, which it would take for audio) and opens again.
  void SkipBytes(int64_t at, int64_t bytes);
  /// Counts the samples by decoding the whole file (remembered for the file
  /// while it is unchanged) instead of believing its headers; seeks then
  /// decode from the start, as timestamps may not match what decodes.
  void CountByDecoding();

  int SourceChannels() const;
  /// Bits per sample of a lossless source (FLAC: 16 or 24; PCM as stored); 0 for the others.
  int SourceBits() const;
  int SampleRate() const;
  /// What Read delivers: `channels` channels (mixed or spread from the
  /// source's) of `bits` bits (16, 24 packed or 32); with `floating`,
  /// 32-bit floats, full scale 1.0 and not clipped.
  void SetOutput(int channels, int bits, bool floating = false);

  /// Samples per channel: counted by decoding, our writer's record, the
  /// stream's duration, the container's, in that order; 0 when nothing tells.
  int64_t Frames() const;
  /// The stream's declared bit rate (bits per second), else the container's average.
  int64_t Bitrate() const;
  /// A WMA file's header says it is VBR.
  bool IsVbr() const;
  /// A tag of the container or the audio stream ("artist", "title", "album",
  /// "genre", "track", "year", "copyright", "comment"), as UTF-8; empty when absent.
  std::string Tag(const std::string& name) const;
  /// The file's chapters (an M4B audiobook's), in samples at SampleRate.
  std::vector<Chapter> Chapters() const;

  /// The next block of PCM into `out` (replacing it); false at the end.
  bool Read(std::vector<uint8_t>& out);
  /// The next Read starts exactly at sample `frame`.
  void Seek(int64_t frame);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace media
