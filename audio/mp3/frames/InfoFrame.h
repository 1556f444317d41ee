#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "audio/mp3/frames/Mp3Info.h"

/// CRC-16 as the LAME tag uses it (polynomial 0x8005, reflected, starting at 0).
uint16_t LameCrc16(const uint8_t* data, size_t size, uint16_t crc = 0);

/// What the Xing/Info frame in front of a copied stream tells a decoder.
struct InfoFrameFields {
  bool vbr = false;          // "Xing" when the frames vary in bit rate, else "Info"
  uint32_t frames = 0;       // audio frames after the info frame
  uint32_t bytes = 0;        // the info frame and the audio frames
  std::array<uint8_t, 100> toc{};  // byte positions of each hundredth of the time, in 256ths
  /// The source's LAME extension (36 bytes) when it had one, else zeros: its
  /// encoder name and settings are carried over, its loudness figures are not.
  std::array<uint8_t, 36> source{};
  bool hasSource = false;
  int delay = 0, padding = 0;
  uint16_t musicCrc = 0;     // of the audio frames
};

/// An info frame of the stream's version, sample rate and channels; its bit
/// rate is `like`'s when the frame holds the tag at that rate.
std::vector<uint8_t> MakeInfoFrame(const Mp3FrameHeader& like, const uint8_t likeHeader[4], const InfoFrameFields& fields);

/// A frame that decodes to silence and whose main data region ends with
/// `reservoir`: the bytes the next frames take from before them.
std::vector<uint8_t> MakeCarrierFrame(const Mp3FrameHeader& like, const uint8_t likeHeader[4],
                                      const std::vector<uint8_t>& reservoir);

/// The Xing table of contents of frames of the given lengths, after an info
/// frame of `infoBytes`.
std::array<uint8_t, 100> MakeToc(const std::vector<int>& frameLengths, uint32_t infoBytes);
