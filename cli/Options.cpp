#include "cli/Options.h"

#include <cstdlib>

#include "platform/Numbers.h"

namespace cli {

bool Mp3Options(const Arguments& args, EncodeOptions& options, std::string& error) {
  if (args.bitrate) {
    int32_t kbps = 0;
    const TMP3BitRate rate = ParseInt32(*args.bitrate, kbps) && kbps > 0 && kbps <= 320 ? AnyMp3BitRate(kbps * 1000) : mbrAuto;
    if (rate == mbrAuto) {
      error = "not an MP3 bit rate (8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 192, 224, 256, 320): " +
              *args.bitrate;
      return false;
    }
    options.mp3Bitrate = rate;
  }
  if (args.vbr) {
    int32_t quality = -1;
    if (!ParseInt32(*args.vbr, quality) || quality < 0 || quality > 9) {
      error = "the VBR quality is 0 (best) to 9: " + *args.vbr;
      return false;
    }
    options.vbrQuality = static_cast<TMP3Quality>(quality);
  }
  if (args.mode) {
    if (*args.mode == "stereo") options.mode = mmStereo;
    else if (*args.mode == "joint") options.mode = mmJointStereo;
    else if (*args.mode == "mono") options.mode = mmMono;
    else {
      error = "the mode is stereo, joint or mono: " + *args.mode;
      return false;
    }
  }
  return true;
}

bool BitrateOption(const Arguments& args, uint32_t& bitsPerSecond, std::string& error) {
  int32_t kbps = 128;
  if (args.bitrate && (!ParseInt32(*args.bitrate, kbps) || kbps < 1 || kbps > 2000)) {
    error = "not a bit rate in kbps: " + *args.bitrate;
    return false;
  }
  bitsPerSecond = static_cast<uint32_t>(kbps) * 1000;
  return true;
}

bool Count(const std::optional<std::string>& option, const char* wrong, uint32_t most, uint32_t& value,
           std::string& error) {
  if (!option) return true;
  int32_t number = -1;
  if (!ParseInt32(*option, number) || number < 0 || static_cast<uint32_t>(number) > most) {
    error = wrong + *option;
    return false;
  }
  value = static_cast<uint32_t>(number);
  return true;
}

bool Decimal(const std::optional<std::string>& option, const char* wrong, double least, double most, double& value,
             std::string& error) {
  if (!option) return true;
  char* end = nullptr;
  const double number = std::strtod(option->c_str(), &end);
  if (option->empty() || end != option->c_str() + option->size() || !(number >= least && number <= most)) {
    error = wrong + *option;
    return false;
  }
  value = number;
  return true;
}

bool LevelOptions(const Arguments& args, LevelRequest& levels, std::string& error) {
  if (args.gain && args.normalize) {
    error = "--gain and --normalize both set the level: give one";
    return false;
  }
  if (!Decimal(args.gain, "not a gain in dB (-60 to 60): ", -60, 60, levels.gainDb, error)) return false;
  if (args.normalize) {
    const std::string& text = *args.normalize;
    const size_t equals = text.find('=');
    const std::string kind = text.substr(0, equals);
    const std::optional<std::string> value =
        equals == std::string::npos ? std::nullopt : std::optional<std::string>(text.substr(equals + 1));
    if (kind == "peak") levels.normalize = LevelRequest::Normalize::Peak;
    else if (kind == "loudness") levels.normalize = LevelRequest::Normalize::Loudness;
    if (levels.normalize == LevelRequest::Normalize::None || !value) {
      error = "--normalize takes peak=DBTP or loudness=LUFS (peak=-1, loudness=-16): " + text;
      return false;
    }
    const bool peak = levels.normalize == LevelRequest::Normalize::Peak;
    if (!Decimal(value, peak ? "not a peak in dBTP (-60 to 0): " : "not a loudness in LUFS (-70 to 0): ", peak ? -60 : -70,
                 0, levels.targetDb, error))
      return false;
  }
  uint32_t ms = 0;
  if (!Count(args.fadeIn, "not a fade in milliseconds: ", 3600000, ms, error)) return false;
  levels.fadeInMs = args.fadeIn ? ms : 0;
  if (!Count(args.fadeOut, "not a fade in milliseconds: ", 3600000, ms, error)) return false;
  levels.fadeOutMs = args.fadeOut ? ms : 0;
  return CurveOption(args, levels.curve, error);
}

bool CurveOption(const Arguments& args, FadeCurve& curve, std::string& error) {
  if (!args.fadeCurve) return true;
  if (*args.fadeCurve == "linear") curve = FadeCurve::Linear;
  else if (*args.fadeCurve == "equal-power") curve = FadeCurve::EqualPower;
  else {
    error = "--fade-curve is linear or equal-power: " + *args.fadeCurve;
    return false;
  }
  return true;
}

bool CrossfadeOptions(const Arguments& args, int64_t& ms, FadeCurve& curve, std::string& error) {
  uint32_t given = 0;
  if (!Count(args.crossfade, "not a crossfade in milliseconds (up to 10000): ", 10000, given, error)) return false;
  if (args.crossfade) ms = given;
  return CurveOption(args, curve, error);
}

}  // namespace cli
