#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "audio/classes/AuInput.h"
#include "audio/classes/AuStream.h"
#include "audio/tags/APEv2Tags.h"
#include "audio/tags/CommonTags.h"
#include "audio/tags/Id3v1Tags.h"
#include "audio/tags/Id3v2Tags.h"
#include "platform/FileTags.h"

/// An input that reads a stream and delivers the frames StartSample..EndSample.
class TAuStreamedInput : public TAuInput {
 public:
  TAuStreamedInput();

  /// First frame to deliver.
  int64_t StartSample() const { return StartSample_; }
  void SetStartSample(int64_t value) { StartSample_ = value; }
  /// Last frame to deliver, inclusive; -1 for the end of the data.
  int64_t EndSample() const { return EndSample_; }
  void SetEndSample(int64_t value) { EndSample_ = value; }
  /// Start again at StartSample after the last frame, without end.
  bool Loop() const { return Loop_; }
  void SetLoop(bool value) { Loop_ = value; }

  /// Adds the range, end-of-data and looping rules to the delivery. Raises
  /// when the data ends before the bytes this run promised.
  void GetData(void*& Buffer, uint32_t& Bytes) override;
  /// Like GetData, but the next bytes (at most `Bytes`) go straight from the
  /// source file into the file `fd` at its position, for inputs that deliver
  /// their file's bytes unchanged. Returns the bytes moved (0 at the end), or
  /// -1 when this input cannot move them so; then nothing was moved.
  int64_t DeliverTo(int fd, int64_t Bytes);

 protected:
  /// Names the source in messages.
  virtual std::string SourceName() const { return "The input"; }
  /// Moves up to `Bytes` of the source's next bytes into `fd` (see DeliverTo);
  /// -1 when the input cannot.
  virtual int64_t CopyInternal(int, int64_t) { return -1; }

  /// Positions the source so that the next delivery starts at the absolute
  /// frame SampleNum (or at the start of its block); false when it cannot.
  virtual bool SeekInternal(int64_t& SampleNum) = 0;

  std::unique_ptr<TAuStream> Stream;
  int64_t StartSample_ = 0;
  int64_t EndSample_ = -1;
  bool Loop_ = false;
  int64_t TotalSamples_ = 0;
  /// Bytes this run must deliver before its data may end.
  int64_t Promised_ = 0;

 private:
  /// Counts a delivery against Position and Size; shortens it at Size when asked.
  void Account(uint32_t& Bytes, bool shorten);
};

/// An input that reads one file, named by FileName.
///
/// Asking the format or length opens the file, which stays open until the
/// end of a run, Reset, a new FileName or destruction. Each run consumes the
/// range: StartSample and EndSample return to 0 and -1 afterwards.
class TAuFileIn : public TAuStreamedInput {
 public:
  const std::string& FileName() const { return FileName_; }
  /// Closes the file, then keeps the new name.
  void SetFileName(const std::string& value);

  int BitsPerSample() override;
  int Channels() override;
  int SampleRate() override;
  /// Frames of the file (of the range during a run); -1 when there is no data.
  int64_t TotalSamples() override;
  /// Whole seconds, rounded.
  int TotalTime() override;
  /// Moves to SampleNum frames after StartSample.
  bool Seek(int64_t SampleNum);
  void Reset() override;
  /// The file held a stream this input can deliver.
  bool Valid();
  /// Why the file holds nothing this input can deliver, in the reader's
  /// words; empty when it does, or when nothing more is known.
  virtual std::string WhyUnreadable() { return {}; }
  /// Every field and picture of the file's tags as TagLib names them
  /// (opening it if needed); empty for inputs that read no tags.
  virtual media::TagSet SourceTags() { return {}; }
  /// The twelve common fields, for inputs that fill them; null for the others.
  virtual TId3v2Tags* CommonFields() { return nullptr; }
  /// Where the samples of integer PCM start in the file, for readers that
  /// take them directly; -1 when they cannot.
  virtual int64_t PcmDataOffset() { return -1; }

 protected:
  /// Opens the source and reads its format into the fields below and Size;
  /// does nothing when already open (OpenCount 1).
  virtual void OpenFile() = 0;
  /// Closes the source and sets OpenCount 0.
  virtual void CloseFile() = 0;

  void InitInternal() override;
  void FlushInternal() override;
  std::string SourceName() const override { return FileName_; }
  /// Detaches the outputs, then closes the file.
  void EndOfLife() override;

  /// Guards OpenFile and CloseFile.
  std::recursive_mutex FileLock;
  std::string FileName_;
  int OpenCount = 0;
  bool Valid_ = false;
  int BitsPerSample_ = 0;
  int SampleRate_ = 0;
  int Channels_ = 0;

 private:
  void Open();
};

/// A file input with the tag containers its decoder fills.
class TAuTaggedFileIn : public TAuFileIn {
 public:
  TId3v1Tags& Id3v1Tags() { return Id3v1Tags_; }
  TId3v2Tags& Id3v2Tags() { return Id3v2Tags_; }
  TAPEv2Tags& APEv2Tags() { return APEv2Tags_; }
  TCommonTags& CommonTags() { return CommonTags_; }

 private:
  TId3v1Tags Id3v1Tags_;
  TId3v2Tags Id3v2Tags_;
  TAPEv2Tags APEv2Tags_;
  TCommonTags CommonTags_;
};
