#include "audio/wave/G711.h"

namespace G711 {

std::array<int16_t, 256> Table(bool aLaw) {
  std::array<int16_t, 256> table{};
  for (int code = 0; code < 256; ++code)
    table[static_cast<size_t>(code)] = aLaw ? ALawToLinear(static_cast<uint8_t>(code)) : MuLawToLinear(static_cast<uint8_t>(code));
  return table;
}

}  // namespace G711
