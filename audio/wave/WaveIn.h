#pragma once

#include <memory>
#include <string>
#include <vector>

#include "audio/classes/FileIn.h"
#include "audio/wave/Adpcm.h"
#include "audio/wave/WavHeader.h"
#include "platform/FileTags.h"

/// Reads a RIFF WAVE file and delivers it as PCM: integer PCM (plain and
/// extensible), IEEE float (as 32-bit integers), IMA/DVI and Microsoft ADPCM
/// (as 16-bit), and MPEG layer 3 inside WAV (converted in memory at open).
///
/// Ranges are exact to the frame for every kind, ADPCM included.
class TWaveIn : public TAuFileIn {
 public:
  TWaveIn();

  /// The kind of the open file (opening it if needed).
  TWavType WavType();
  /// Why the file cannot be delivered ("WAV encoding GSM 6.10 is not
  /// supported"), or empty when it can.
  std::string WhyUnreadable() override;
  /// Where the samples of integer PCM (plain or extensible) start in the
  /// file, for readers that take them directly; -1 for every other kind.
  int64_t PcmDataOffset() override;
  /// The header's sizes were never filled in (a recording that was not
  /// finished): the samples are read to the end of the file.
  bool HeaderUnfinished();
  /// The fields and pictures of the file's INFO list and "id3 " chunk, read
  /// with TagLib; empty when it has none or TagLib cannot read it (RF64).
  media::TagSet SourceTags() override;

 protected:
  void OpenFile() override;
  void CloseFile() override;
  void GetDataInternal(void*& Buffer, uint32_t& Bytes) override;
  bool SeekInternal(int64_t& SampleNum) override;
  /// Integer PCM goes from file to file in the kernel.
  int64_t CopyInternal(int fd, int64_t Bytes) override;

 private:
  /// Checks the parsed header and fills the delivered format; false when unsupported.
  bool AcceptHeader();
  bool OpenConverted();
  /// Decodes the next ADPCM block into the buffer; the frames decoded, 0 at the end.
  int DecodeNextBlock();
  int FramesPerAdpcmBlock() const;

  WavHeader header_;
  TWavType WavType_ = wtUnsupported;
  int64_t HeaderSize_ = 0;
  bool Float32_ = false;
  std::vector<uint8_t> buffer_;     // the decode buffer, BufStart_/BufEnd_ 1-based
  std::vector<uint8_t> copyBuffer_; // for CopyInternal
  std::vector<uint8_t> block_;      // one ADPCM block as read
  int64_t skipFrames_ = 0;          // frames of the next block before the wanted one
  std::unique_ptr<TAuStream> fileStream_;  // set aside while Stream holds converted data
};
