#pragma once
// Files of the formats FFmpeg's codecs write, made by our own writer from generated samples.

#include <functional>
#include <string>
#include <vector>

#include "audio/codecs/CodecOut.h"
#include "audio/formats/FormatRegistry.h"
#include "platform/Encoder.h"
#include "tests/audio/MemoryComponents.h"
#include "tests/support/EventLoop.h"

/// Writes interleaved 16-bit `samples` as a file of `kind`; `setup` may set
/// the writer's tags and settings first. The writer's error, empty when none.
inline std::string WriteCodecFile(const std::string& file, AudioFormat kind, const std::vector<int16_t>& samples,
                                  int channels, int rate, const std::function<void(TCodecOut&)>& setup = {}) {
  Sealed<MemoryInput> input(0);
  input.SetSamples(samples);
  input.ChannelCount = channels;
  input.Rate = rate;
  input.BlockSize = 4000;
  Sealed<TCodecOut> output(CodecOf(kind));
  output.SetFileName(file);
  if (setup) setup(output);
  bool done = false;
  std::string error;
  output.OnDone = [&](TComponent*) { done = true; };
  output.OnThreadException = [&](TComponent*) { error = output.ExceptionMessage(); };
  output.SetInput(&input);
  output.Run();
  if (!SpinUntil([&] { return done; }, 60000)) return "never finished";
  output.SetInput(nullptr);
  return error;
}

/// A test name for a codec format: "Flac", "Aac".
inline std::string CodecTestName(AudioFormat kind) {
  switch (kind) {
    case AudioFormat::Flac: return "Flac";
    case AudioFormat::Vorbis: return "Vorbis";
    case AudioFormat::Opus: return "Opus";
    case AudioFormat::M4a: return "Aac";
    case AudioFormat::Aiff: return "Aiff";
    default: return "Other";
  }
}

/// The file name ending each format is written under.
inline const char* CodecExtension(AudioFormat kind) {
  switch (kind) {
    case AudioFormat::Flac: return ".flac";
    case AudioFormat::Vorbis: return ".ogg";
    case AudioFormat::Opus: return ".opus";
    case AudioFormat::M4a: return ".m4a";
    case AudioFormat::Aiff: return ".aiff";
    default: return "";
  }
}

/// Writes mono 16-bit `samples` at 44.1 kHz as AAC without a container
/// (ADTS), as recorders write it: nothing in it tells the length.
inline void WriteAdtsFile(const std::string& file, const std::vector<int16_t>& samples) {
  media::EncoderSettings adts;
  adts.codec = "aac";
  adts.muxer = "adts";
  adts.rate = 44100;
  adts.bitrate = 96000;
  media::Encoder encoder(adts, {1, 44100, 16}, file);
  encoder.Write(reinterpret_cast<const uint8_t*>(samples.data()), samples.size() * 2);
  encoder.Finish();
}
