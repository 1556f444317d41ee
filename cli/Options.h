#pragma once
// The values of clipwright-cli's options, read in one place.

#include <cstdint>
#include <optional>
#include <string>

#include "app/jobs/ConvertJob.h"
#include "app/jobs/LevelPlan.h"
#include "cli/Arguments.h"

namespace cli {

/// The MP3 encoder's --bitrate, --vbr and --mode; false and why when one is wrong.
bool Mp3Options(const Arguments& args, EncodeOptions& options, std::string& error);
/// The WMA bit rate --bitrate asks for in bits per second (128 kbps unless given).
bool BitrateOption(const Arguments& args, uint32_t& bitsPerSecond, std::string& error);
/// A whole number from 0 to `most` when the option is given; `wrong` starts the message.
bool Count(const std::optional<std::string>& option, const char* wrong, uint32_t most, uint32_t& value,
           std::string& error);

/// A decimal number from `least` to `most` when the option is given; `wrong` starts the message.
bool Decimal(const std::optional<std::string>& option, const char* wrong, double least, double most, double& value,
             std::string& error);

/// --gain, --normalize, --fade-in, --fade-out and --fade-curve; false and why when one is wrong.
bool LevelOptions(const Arguments& args, LevelRequest& levels, std::string& error);
/// --fade-curve when given (the caller's default stays otherwise); false and why when it is wrong.
bool CurveOption(const Arguments& args, FadeCurve& curve, std::string& error);
/// --crossfade MS (up to 10 s) and its --fade-curve, each where given.
bool CrossfadeOptions(const Arguments& args, int64_t& ms, FadeCurve& curve, std::string& error);

}  // namespace cli
