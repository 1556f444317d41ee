#include "app/jobs/CutJob.h"

#include <cmath>

#include "app/Global.h"
#include "app/jobs/TagCopy.h"
#include "audio/ACS_LAME.h"
#include "audio/ACS_Wave.h"
#include "audio/ACS_WinMedia.h"
#include "audio/ACS_smpeg.h"

namespace {

constexpr char kNotStandardMp3[] =
    "This is not a standard MP3 file. Please use Vorlun Quorvex to convert it into a standard MP3 file.";

int64_t FrameOfPosition(int position, int sampleRate) {
  return static_cast<int64_t>(std::nearbyint(static_cast<double>(position) * 500.0 * sampleRate / 1000.0));
}

}  // namespace

std::unique_ptr<TMP3In> NewCutMp3In() { return std::make_unique<Sealed<TMP3In>>(); }
std::unique_ptr<TWaveIn> NewCutWaveIn() { return std::make_unique<Sealed<TWaveIn>>(); }
std::unique_ptr<TWMIn> NewCutWmIn() { return std::make_unique<Sealed<TWMIn>>(); }

std::unique_ptr<TMP3Out> NewCutMp3Out() {
  auto out = std::make_unique<Sealed<TMP3Out>>();
  out->SetBitRate(mbr128);
  out->SetMode(mmMono);
  out->SetEnableBitReservoir(false);
  out->SetStrictISO(false);
  out->SetVBRQuality(mp3ql0);
  out->SetAverageBitrate(mbrAuto);
  out->SetMaximumBitrate(mbrAuto);
  return out;
}

std::unique_ptr<TWaveOut> NewCutWaveOut() {
  auto out = std::make_unique<Sealed<TWaveOut>>();
  out->SetWavType(wtPCM);
  out->SetBlockSize(512);
  out->SetCreateNonMsHeaders(false);
  out->SetFileMode(foRewrite);
  return out;
}

std::unique_ptr<TWMAOut> NewCutWmaOut() { return std::make_unique<Sealed<TWMAOut>>(); }

CutPair NewCutPair(AudioFormat format) {
  switch (format) {
    case AudioFormat::Mp3: return {NewCutMp3In(), NewCutMp3Out()};
    case AudioFormat::Wav: return {NewCutWaveIn(), NewCutWaveOut()};
    case AudioFormat::Wma: return {NewCutWmIn(), NewCutWmaOut()};
    default: return {};
  }
}

FrameRange RangeOfPositions(int positionL, int positionU, int max, int sampleRate) {
  FrameRange range;
  range.startSample = FrameOfPosition(positionL, sampleRate);
  range.endSample = positionU >= max ? -1 : FrameOfPosition(positionU, sampleRate) - 1;
  return range;
}

int InputRate(AudioFormat format, TAuFileIn& input, const std::string& source) {
  try {
    input.SetFileName(source);
    if (!input.Valid() || input.TotalSamples() <= 0) {
      if (format == AudioFormat::Mp3) {
        // Layer III frames the decoder cannot read would only give an empty file.
        if (GetMpegLayer(source) == 3) throw CutRefused("The MP3 file cannot be decoded: " + source);
        throw CutRefused(kNotStandardMp3);
      }
      if (auto* wave = dynamic_cast<TWaveIn*>(&input)) throw CutRefused(wave->WhyUnsupported() + ": " + source);
      throw CutRefused(std::string("not a ") + FormatName(format) + " file this program can read: " + source);
    }
    return input.SampleRate();
  } catch (const CutRefused&) {
    throw;
  } catch (const std::exception& e) {
    const std::string message = e.what();
    throw CutRefused(message.find(source) == std::string::npos ? message + ": " + source : message);
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
      auto& in = dynamic_cast<TWMIn&>(input);
      auto& out = dynamic_cast<TMP3Out&>(output);
      CopyId3v2Fields(in.Id3v2Tags(), out.Id3v2Tags());
      FillId3v1Fields(in.Id3v2Tags(), out.Id3v1Tags());
      out.SetBitRate(BitRateToMP3BitRate(in.Bitrate()));
      if (in.Channels() == 1) out.SetMode(mmMono);
      if (in.Channels() == 2) out.SetMode(mmStereo);
      out.SetEnableVBR(in.IsVBR());
      out.SetCopyright(in.IsProtected());
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
      throw CutRefused("only MP3, WAV and WMA files can be cut: " + source);
  }
  output.SetInput(&input);
}
