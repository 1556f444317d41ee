#include "audio/mp3/frames/SideInfo.h"

#include <algorithm>
#include <cstring>

namespace {

/// Reads fields of up to 12 bits, most significant first, from at most 32
/// bytes (side information is 9 to 32).
class BitReader {
 public:
  BitReader(const uint8_t* data, int bytes) {
    std::memcpy(bytes_, data, static_cast<size_t>(std::min(bytes, 32)));
  }
  int Read(int count) {
    // The three bytes holding the field, then the field's bits out of them.
    const int byte = at_ >> 3;
    const uint32_t window = (uint32_t{bytes_[byte]} << 16) | (uint32_t{bytes_[byte + 1]} << 8) | bytes_[byte + 2];
    const int value = static_cast<int>((window >> (24 - (at_ & 7) - count)) & ((1u << count) - 1));
    at_ += count;
    return value;
  }

 private:
  uint8_t bytes_[36] = {};  // zeros after the data, for the reads past it
  int at_ = 0;
};

}  // namespace

int HuffmanTableMaximum(int table) {
  // Tables 0 to 15 code magnitudes up to 15 (table 4 and 14 are unused);
  // 16 to 31 add escape bits (linbits) to 15.
  static const int small[16] = {0, 1, 2, 2, 0, 3, 3, 5, 5, 5, 7, 7, 7, 15, 0, 15};
  static const int linbits[16] = {1, 2, 3, 4, 6, 8, 10, 13, 4, 5, 6, 7, 8, 9, 11, 13};
  if (table < 0 || table > 31) return 0;
  if (table < 16) return small[table];
  return 15 + (1 << linbits[table - 16]) - 1;
}

bool ParseSideInfo(const uint8_t* frame, int frameBytes, const Mp3FrameHeader& header, SideInfo& out) {
  const int at = 4 + (header.crc ? 2 : 0);
  if (header.layer != 3 || frameBytes < at + header.SideInfoSize()) return false;
  const bool mpeg1 = header.version == 1;
  BitReader bits(frame + at, header.SideInfoSize());
  out = SideInfo{};
  out.channels = header.channels;
  out.granules = mpeg1 ? 2 : 1;
  // Mode "joint stereo" (3) with the mid/side bit of its extension.
  const int mode = frame[3] >> 6, extension = (frame[3] >> 4) & 3;
  out.midSide = mode == 1 && (extension & 2) != 0;
  if (mpeg1) {
    bits.Read(9);                              // main_data_begin
    bits.Read(header.channels == 1 ? 5 : 3);   // private bits
    bits.Read(4 * header.channels);            // scfsi
  } else {
    bits.Read(8);
    bits.Read(header.channels == 1 ? 1 : 2);
  }
  for (int gr = 0; gr < out.granules; ++gr)
    for (int ch = 0; ch < header.channels; ++ch) {
      GranuleInfo& g = out.granule[gr][ch];
      g.part23Length = bits.Read(12);
      g.bigValues = bits.Read(9);
      g.globalGain = bits.Read(8);
      bits.Read(mpeg1 ? 4 : 9);  // scalefac_compress
      if (bits.Read(1)) {        // window switching
        g.blockType = bits.Read(2);
        bits.Read(1);            // mixed block
        g.tableSelect[0] = bits.Read(5);
        g.tableSelect[1] = bits.Read(5);
        for (int& gain : g.subblockGain) gain = bits.Read(3);
      } else {
        for (int& table : g.tableSelect) table = bits.Read(5);
        bits.Read(4 + 3);        // region0_count, region1_count
      }
      bits.Read(mpeg1 ? 3 : 2);  // (preflag,) scalefac_scale, count1table_select
      g.count1 = g.part23Length > 0;
    }
  return true;
}
