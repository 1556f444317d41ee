#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "audio/classes/FileOut.h"

/// A file output that hands the PCM its input delivers to an encoder, a
/// tenth of a second at a time.
class TEncodingFileOut : public TAuTaggedFileOut {
 protected:
  /// Starts the input and sizes the block for it (Prepare calls it first).
  void StartInput();
  /// Reads a block and hands it to Encode; a failure says "Failed to write data: CAUSE".
  bool DoOutput(bool Abort) override;
  /// Ends the input once and frees the block (Done calls it first).
  void EndInput();
  /// Encodes `length` bytes of the input's PCM. Throws std::runtime_error with the cause.
  virtual void Encode(const uint8_t* pcm, size_t length) = 0;

 private:
  std::vector<uint8_t> block_;
  bool endOfInput_ = false;
  bool inputStarted_ = false;
};
