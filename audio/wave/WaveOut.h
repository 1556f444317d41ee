#pragma once

#include <cstdint>
#include "audio/classes/AuException.h"

#include "audio/classes/FileIn.h"
#include "audio/classes/FileOut.h"
#include "audio/wave/Adpcm.h"
#include "audio/wave/WavHeader.h"

/// Writes the PCM its Input delivers into a RIFF WAVE file: plain PCM, PCM
/// with the extensible header (more than 2 channels or 16 bits, unless
/// CreateNonMsHeaders), or IMA/DVI ADPCM. With FileMode foAppend it adds to an
/// existing PCM or IMA ADPCM file of the same format whose samples end it.
/// A new file gets the source's tags and Id3v2Tags' fields as an INFO list
/// and an "id3 " chunk after its samples (an RF64 file none: TagLib cannot
/// save one).
class TWaveOut : public TAuTaggedFileOut {
 public:

  TWavType WavType() const { return WavType_; }
  /// Only wtPCM and wtDVIADPCM, and not during a run.
  void SetWavType(TWavType value);
  uint16_t BlockSize() const { return BlockSize_; }
  /// ADPCM block bytes: a non-zero multiple of 4, not during a run.
  void SetBlockSize(uint16_t value);
  bool CreateNonMsHeaders() const { return CreateNonMsHeaders_; }
  void SetCreateNonMsHeaders(bool value) { CreateNonMsHeaders_ = value; }
  /// A PCM result whose input announces more than this many bytes (4 GiB,
  /// what 32-bit RIFF sizes hold, unless set) is written as RF64, with its
  /// 64-bit sizes in a "ds64" chunk. Other results refuse to pass 4 GiB.
  int64_t Rf64Above() const { return Rf64Above_; }
  void SetRf64Above(int64_t value) { if (!Busy()) Rf64Above_ = value; }
  void SetFileMode(TFileOutputMode value) override { FileMode_ = value; }

 protected:
  void Prepare() override;
  bool DoOutput(bool Abort) override;
  void Done() override;

 private:
  void WriteTags();
  /// Samples per block per channel for the current BlockSize.
  int SamplesPerBlock(int channels) const;
  void WriteHeader(const uint8_t* bytes, int size);
  void Refuse(const char* message);
  void PatchHeader();
  void Write32At(int64_t offset, uint32_t value);
  /// Raises when `bytes` more would pass what RIFF sizes can count.
  void CheckRoomFor(int64_t bytes);
  /// The failure of a write, naming a full disk.
  EAuException WriteError() const;

  TWavType WavType_ = wtPCM;
  uint16_t BlockSize_ = 512;
  bool CreateNonMsHeaders_ = true;
  int64_t Rf64Above_ = 0xFFFFFFFFll;
  bool rf64_ = false;  // this run writes RF64

  bool EndOfInput = false;
  Adpcm::ImaChannel encoder_[2];
  bool appending_ = false;
  WavHeader existing_;      // the appended file's header
  int channels_ = 0;        // of the data being written
  uint32_t DataSize = 0;    // announced in a new file's header, patched in Done
  int64_t samplesWritten_ = 0;  // frames encoded into ADPCM blocks
  bool copyDirect_ = false;   // the input may copy its bytes into our file itself
  int headerBytes_ = 0;     // of a new file's header
};
