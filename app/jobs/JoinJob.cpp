#include "app/jobs/JoinJob.h"

#include <algorithm>
#include <cctype>

#include "app/jobs/CutJob.h"
#include "app/jobs/TagCopy.h"
#include "audio/ACS_LAME.h"
#include "audio/ACS_Wave.h"
#include "audio/ACS_WinMedia.h"
#include "audio/ACS_smpeg.h"
#include "audio/tags/TagText.h"

namespace {

std::string UpperExtension(const std::string& name) {
  const size_t slash = name.find_last_of('/');
  const size_t dot = name.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string ext = name.substr(dot);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::toupper(c); });
  return ext;
}

/// The usual bit rate a nominal one stands for.
uint32_t NormalisedKbps(uint32_t k) {
  const struct { uint32_t above, below, becomes; } kRules[] = {
      {90, 100, 96}, {120, 135, 128}, {145, 180, 160}, {185, 200, 192}, {250, 270, 256}, {310, 330, 320}};
  for (const auto& rule : kRules)
    if (k > rule.above && k < rule.below) k = rule.becomes;
  return k;
}

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
  return text;
}

}  // namespace

std::string CheckJoinFiles(const std::string& file1, const std::string& file2) {
  if (file1.empty() || file2.empty()) return kSelectInputFiles;
  if (UpperExtension(file1) != UpperExtension(file2)) return kSelectSameFormat;
  return {};
}

std::string WmaFormatDescription(int bitrate, int sampleRate, int channels) {
  std::string d = std::to_string(NormalisedKbps(static_cast<uint32_t>(bitrate) / 1000)) + " kbps, ";
  const auto r = static_cast<uint32_t>(sampleRate) / 1000;
  d += (r > 9 ? "" : " ") + std::to_string(r) + " kHz, ";
  return d + (channels > 1 ? "stereo" : "mono");
}

int MatchWmaFormat(TWMIn& source, TWMAOut& output) {
  const std::string d = Upper(WmaFormatDescription(source.Bitrate(), source.SampleRate(), source.Channels()));
  const auto& formats = output.GetFormatList(0);
  for (size_t i = 0; i < formats.size(); ++i) {
    // From the start: "12 kbps" must not match "112 kbps".
    if (Upper(TagText::Utf16ToUtf8(formats[i])).rfind(d, 0) == 0) return static_cast<int>(i);
  }
  return -1;
}

void PrepareJoin(AudioFormat format, TAudioMixerMode mode, TAudioMixer& mixer, TAuFileIn& input1, TAuFileIn& input2,
                 TAuFileOut& output, const std::string& outputName) {
  if (format != AudioFormat::Wav && format != AudioFormat::Mp3 && format != AudioFormat::Wma)
    throw JobRefused("only MP3, WAV and WMA files can be joined or mixed: " + input1.FileName());
  CheckSource(format, input1);
  CheckSource(format, input2);
  mixer.SetMode(mode);
  mixer.SetVolume1(65535);
  mixer.SetVolume2(65535);
  mixer.SetInput1(&input1);
  mixer.SetInput2(&input2);
  output.SetFileName(outputName);
  if (format == AudioFormat::Mp3) {
    CopyMp3Settings(dynamic_cast<TWMIn&>(input1), dynamic_cast<TMP3Out&>(output));
  } else if (format == AudioFormat::Wma) {
    auto& in = dynamic_cast<TWMIn&>(input1);
    auto& out = dynamic_cast<TWMAOut&>(output);
    const int index = MatchWmaFormat(in, out);
    if (index >= 0 && index < out.GetFormatCount(0)) {
      out.SetCodecIndex(0);
      out.SetFormatIndex(index);
    } else {
      // No listed format describes the first file: the one nearest its bit rate for its layout.
      out.SetCodecIndex(-1);
      out.SetDesiredBitrate(static_cast<uint32_t>(in.Bitrate()));
    }
    CopyId3v2Fields(in.Id3v2Tags(), out.Id3v2Tags());
  }
  output.SetInput(&mixer);
}

JoinSet NewJoinSet(AudioFormat format) {
  JoinSet set;
  switch (format) {
    case AudioFormat::Wav: set.input1 = NewWaveIn(), set.input2 = NewWaveIn(), set.output = NewWaveOut(); break;
    case AudioFormat::Mp3: set.input1 = NewMp3In(), set.input2 = NewMp3In(), set.output = NewMp3Out(); break;
    case AudioFormat::Wma: set.input1 = NewWmIn(), set.input2 = NewWmIn(), set.output = NewWmaOut(); break;
    default: return {};
  }
  set.mixer = NewMixer();
  return set;
}
