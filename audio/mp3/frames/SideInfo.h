#pragma once

#include <cstdint>

#include "audio/mp3/frames/Mp3Info.h"

/// What the side information of a Layer III frame tells about one granule
/// of one channel, read without touching its main data.
struct GranuleInfo {
  int part23Length = 0;   // bits of scale factors and Huffman codes
  int bigValues = 0;      // pairs of lines in the big-value region
  int globalGain = 0;
  int blockType = 0;      // 0 long, 1 start, 2 short, 3 stop
  int subblockGain[3] = {0, 0, 0};
  int tableSelect[3] = {0, 0, 0};
  bool count1 = false;    // part23 bits remain after the big values (maybe lines of magnitude 1)
};

/// The side information of a frame: one or two granules (MPEG 1: two, MPEG
/// 2 and 2.5: one) of each channel, and whether the channels are coded as
/// mid and side.
struct SideInfo {
  int granules = 0;
  int channels = 0;
  bool midSide = false;
  GranuleInfo granule[2][2];  // [granule][channel]
};

/// Reads the side information of the frame starting at `frame` (its header
/// already parsed into `header`, the frame's bytes all present). False when
/// the frame is too short to hold it.
bool ParseSideInfo(const uint8_t* frame, int frameBytes, const Mp3FrameHeader& header, SideInfo& out);

/// The largest magnitude a Huffman table of Layer III codes (with its
/// escape bits), 0 for the tables that code nothing.
int HuffmanTableMaximum(int table);
