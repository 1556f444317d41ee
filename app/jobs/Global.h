#pragma once

#include <cstdint>
#include <string>

#include "audio/mp3/Mp3Settings.h"
#include "platform/Error.h"

/// Helpers the windows share: time text, bit rates, the per-user data folder,
/// a file's play length and the MPEG layer of a file.
///
/// Time text is hh:mm:ss.t; times are signed 32-bit milliseconds; trackbar
/// positions count half-seconds.


/// "0" before values below 10: 7 gives "07", 12 gives "12".

std::string TwoDigits(int32_t value);
/// TwoDigits of the text read as a decimal integer (0 when it is not one).
std::string TwoDigitsOfText(const std::string& text);
/// Loose syntax check: one or two digits, ":", one or two digits, ":", one
/// or two digits, ".", at most three more characters (tenths or milliseconds).
bool IsTimeText(const std::string& text);
/// Strict shape check: ten characters (hh:mm:ss.t) or twelve (hh:mm:ss.ttt)
/// with ":" at 3 and 6 and "." at 9.
bool IsFullTimeText(const std::string& text);
/// Pads the first three fields to two digits and keeps up to three characters after the point.
std::string NormalizeTimeText(const std::string& text);
int32_t TimeTextToMs(const std::string& text);
/// Truncates to tenths; hours count modulo 256; a negative value counts as 0.
std::string MsToTimeText(int32_t ms);
/// hh:mm:ss.ttt.
std::string MsToMillisecondText(int32_t ms);
/// hh:mm:ss.t when `ms` lies on a tenth, else hh:mm:ss.ttt.
std::string MsToExactTimeText(int32_t ms);
/// MsToTimeText of position x 500 ms.
std::string PositionToTimeText(int32_t position);

/// The per-user data folder, ending in '/'.
std::string GetAppDataFolder();
/// The layer (1, 2 or 3) of the first MPEG audio frame header in the file, 0
/// when there is none or the file does not exist. Raises std::runtime_error
/// when the file cannot be read.
int GetMpegLayer(const std::string& fileName);
