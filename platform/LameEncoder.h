#pragma once

#include <cstdint>
#include <vector>

struct lame_global_struct;

/// MP3 encoding through libmp3lame, loaded at run time (the environment
/// variable CLIPWRIGHT_LAME_LIBRARY may name another file).
namespace media {

/// The library's file name.
inline constexpr char kLameLibrary[] = "libmp3lame.so.0";
/// Loads the library once per process; false when it cannot be had.
bool LoadLame();

struct LameSettings {
  enum class Mode { Stereo, JointStereo, Mono };
  int sampleRate = 44100;  // of the input; the output keeps it
  Mode mode = Mode::JointStereo;  // Mono takes one channel, the others two
  int bitrateKbps = 128;      // CBR rate, VBR minimum; 0 for LAME's
  int maxBitrateKbps = 0;     // VBR maximum; 0 for LAME's
  bool vbr = false;
  int vbrQuality = 0;         // 0 (best) .. 9
  int abrKbps = 0;            // with vbr: an average bit rate instead of a quality
  bool crc = false;
  bool original = true;
  bool bitReservoir = true;
  bool strictIso = false;
  bool tagFrame = true;       // a Xing/LAME frame with the delay and padding gapless decoders remove
};

class LameEncoder {
 public:
  static constexpr int kFramesPerChunk = 1152;

  /// Throws std::runtime_error when the library is missing or refuses the settings.
  explicit LameEncoder(const LameSettings& settings);
  ~LameEncoder();
  LameEncoder(const LameEncoder&) = delete;
  LameEncoder& operator=(const LameEncoder&) = delete;

  int Channels() const { return channels_; }
  /// The MP3's sample rate: LAME may choose a lower one than the input's for a low bit rate.
  int OutputRate() const;
  /// Samples the encoder puts before the first one given (what the LAME frame calls the delay).
  int Delay() const;
  /// Samples per MP3 frame: 1152, or 576 below 32 kHz.
  int FrameSamples() const;
  /// Encodes up to kFramesPerChunk frames of interleaved 16-bit samples; the
  /// MP3 bytes made, valid until the next call. Throws on an encoder error.
  const std::vector<uint8_t>& Encode(const int16_t* pcm, int frames);
  /// What the encoder still holds, at the end of the stream.
  const std::vector<uint8_t>& Flush();
  /// The Xing/LAME frame for the start of the file, after Flush; empty without one.
  std::vector<uint8_t> TagFrame();
  /// Whether LAME makes a Xing/LAME frame at these settings: it leaves it
  /// out where a frame of the stream's bit rate is too small to hold it
  /// (32 kbps at 16 kHz and below).
  static bool MakesTagFrame(const LameSettings& settings);

 private:
  ::lame_global_struct* flags_ = nullptr;
  int channels_ = 2;
  std::vector<uint8_t> out_;   // LAME's working buffer
  std::vector<uint8_t> made_;  // what the last call made
};

}  // namespace media
