#pragma once

#include <cstdint>

/// The MP3 encoder's bit rates, in this order; the low rates of MPEG 2 and
/// 2.5 (8, 16 and 24 kbps) come after the published ones.
enum TMP3BitRate {
  mbrAuto, mbr32, mbr40, mbr48, mbr56, mbr64, mbr80, mbr96,
  mbr112, mbr128, mbr144, mbr160, mbr192, mbr224, mbr256, mbr320, mbr8, mbr16, mbr24
};

/// Channel modes, in this order.
enum TMP3Mode { mmStereo, mmJointStereo, mmDual, mmMono };

/// VBR qualities, best first.
enum TMP3Quality { mp3ql0, mp3ql1, mp3ql2, mp3ql3, mp3ql4, mp3ql5, mp3ql6, mp3ql7, mp3ql8, mp3ql9 };

/// Kilobits per second of a bit rate: 0 for mbrAuto, 128 for anything unknown.
int BitRateKbps(TMP3BitRate rate);
/// The bit rate of exactly `bitsPerSecond`; mbrAuto under 32 kbps, else mbr128 for one that is no MP3 bit rate.
TMP3BitRate BitRateToMP3BitRate(int32_t bitsPerSecond);
/// Any bit rate of MP3's tables (MPEG 1, 2 and 2.5: 8 to 320 kbps) as the
/// encoder's enumeration; mbrAuto for one that is none.
TMP3BitRate AnyMp3BitRate(int32_t bitsPerSecond);
