#include "app/jobs/CutJob.h"

#include <cmath>

#include "app/jobs/Global.h"
#include "app/jobs/TagCopy.h"
#include "audio/ACS_LAME.h"
#include "audio/ACS_Wave.h"
#include "audio/ACS_WinMedia.h"
#include "audio/ACS_smpeg.h"
#include "audio/mp3cut/MP3LosslessOut.h"

namespace {

constexpr char kNotStandardMp3[] =
    "This is not a standard MP3 file. Please use Vorlun Quorvex to convert it into a standard MP3 file.";

}  // namespace

int64_t FrameOfMs(int64_t ms, int sampleRate) {
  return static_cast<int64_t>(std::nearbyint(static_cast<double>(ms) * sampleRate / 1000.0));
}

CutPair NewCutPair(AudioFormat format) {
  switch (format) {
    case AudioFormat::Mp3: return {NewMp3In(), NewMp3Out()};
    case AudioFormat::Wav: return {NewWaveIn(), NewWaveOut()};
    case AudioFormat::Wma: return {NewWmIn(), NewWmaOut()};
    default: return {};
  }
}

CutPair NewLosslessCutPair() { return {NewMp3In(), NewMp3LosslessOut()}; }

void PrepareLosslessCut(TAuFileIn& input, TAuFileOut& output, const std::string& source, const FrameRange& range,
                        const std::string& outputName) {
  // The output reads the file's frames itself: the input only names the range.
  if (input.FileName() != source) input.SetFileName(source);
  input.SetStartSample(range.startSample);
  input.SetEndSample(range.endSample);
  output.SetFileName(outputName);
  output.SetInput(&input);
}

FrameRange RangeOfSelection(int64_t startMs, int64_t endMs, int64_t wholeMs, int sampleRate) {
  FrameRange range;
  range.startSample = FrameOfMs(startMs, sampleRate);
  range.endSample = endMs >= wholeMs ? -1 : FrameOfMs(endMs, sampleRate) - 1;
  return range;
}

int InputRate(AudioFormat format, TAuFileIn& input, const std::string& source) {
  try {
    input.SetFileName(source);
  } catch (const std::exception& e) {
    throw JobRefused(WithFileName(e.what(), source));
  }
  CheckSource(format, input);
  return input.SampleRate();
}

int64_t ReadableLengthMs(const std::string& source) {
  const AudioFormat format = FormatOfFile(source);
  CutPair pair = NewCutPair(format);
  if (!pair.input) throw JobRefused("not an MP3, WAV or WMA file: " + source);
  const int rate = InputRate(format, *pair.input, source);
  return rate > 0 ? pair.input->TotalSamples() * 1000 / rate : 0;
}

int64_t ShownLengthMs(const std::string& source) { return ReadableLengthMs(source) / 1000 * 1000; }

void CheckSource(AudioFormat format, TAuFileIn& input) {
  const std::string source = input.FileName();
  try {
    if (!input.Valid() || input.TotalSamples() <= 0) {
      if (format == AudioFormat::Mp3) {
        // Layer III frames the decoder cannot read would only give an empty file.
        if (GetMpegLayer(source) == 3) throw JobRefused("The MP3 file cannot be decoded: " + source);
        throw JobRefused(std::string(kNotStandardMp3) + ": " + source);
      }
      if (auto* wave = dynamic_cast<TWaveIn*>(&input)) throw JobRefused(wave->WhyUnsupported() + ": " + source);
      throw JobRefused(std::string("not a ") + FormatName(format) + " file this program can read: " + source);
    }
  } catch (const JobRefused&) {
    throw;
  } catch (const std::exception& e) {
    throw JobRefused(WithFileName(e.what(), source));
  }
}

void PrepareCut(AudioFormat format, TAuFileIn& input, TAuFileOut& output, const std::string& source,
                const FrameRange& range, const std::string& outputName) {
  // Opened by InputRate already: opening it again would count it again.
  if (input.FileName() != source) InputRate(format, input, source);
  input.SetStartSample(range.startSample);
  input.SetEndSample(range.endSample);
  output.SetFileName(outputName);
  switch (format) {
    case AudioFormat::Mp3: {
      CopyMp3Settings(dynamic_cast<TWMIn&>(input), dynamic_cast<TMP3Out&>(output));
      break;
    }
    case AudioFormat::Wma: {
      auto& in = dynamic_cast<TWMIn&>(input);
      auto& out = dynamic_cast<TWMAOut&>(output);
      out.SetDesiredBitrate(static_cast<uint32_t>(in.Bitrate()));
      CopyId3v2Fields(in.Id3v2Tags(), out.Id3v2Tags());
      break;
    }
    case AudioFormat::Wav:
      break;
    default:
      throw JobRefused("only MP3, WAV and WMA files can be cut: " + source);
  }
  output.SetInput(&input);
}
