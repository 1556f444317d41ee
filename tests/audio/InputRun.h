#pragma once

#include <cstdint>
#include <vector>

#include "audio/ACS_Classes.h"

/// Everything one run of a file input delivers (Init, GetData until the end,
/// Flush), read as 16-bit samples, for a range StartSample..EndSample.
inline std::vector<int16_t> ReadRun(TAuFileIn& input, int64_t start = 0, int64_t end = -1) {
  input.SetStartSample(start);
  input.SetEndSample(end);
  input.Init();
  std::vector<int16_t> out;
  for (;;) {
    void* block = nullptr;
    uint32_t bytes = 5000;
    input.GetData(block, bytes);
    if (bytes == 0) break;
    out.insert(out.end(), static_cast<int16_t*>(block), static_cast<int16_t*>(block) + bytes / 2);
  }
  input.Flush();
  return out;
}
