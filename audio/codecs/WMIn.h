#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "audio/classes/FileIn.h"
#include "platform/Decoder.h"
#include "platform/FileTags.h"

/// Channel layouts an input may deliver.
enum TChannelsNumber { cnMaxAvailable, cnMonoOrStereo, cn5dot1, cn7dot1 };

/// The file input for WMA (and, through TMP3In, MP3) files, decoding through
/// FFmpeg into interleaved PCM with sample-exact seeking. Tags come from the
/// file's header attributes into Id3v2Tags and CommonTags.
class TWMIn : public TAuTaggedFileIn {
 public:

  bool HighPrecision() const { return HighPrecision_; }
  /// Delivers 32-bit floats as the decoder makes them (full scale 1.0, not
  /// clipped: a lossy decode goes above it), for measuring; not for writers,
  /// which take integer PCM. Set before the file is opened.
  void SetFloatSamples(bool value) { FloatSamples_ = value; }
  bool FloatSamples() const { return FloatSamples_; }
  /// Ignored during a run or unless OutputChannels is cnMonoOrStereo; reopens an open file.
  void SetHighPrecision(bool value);
  TChannelsNumber OutputChannels() const { return OutputChannels_; }
  /// Ignored during a run; anything but cnMonoOrStereo also sets HighPrecision.
  void SetOutputChannels(TChannelsNumber value);

  /// The file's length in hundredths of a second.
  uint32_t FileDuration();
  bool IsProtected();
  /// Bits per second. Raises when the file holds no audio the reader accepts.
  int Bitrate();
  bool IsVBR();
  /// The file's own comment (ID3 comment, WMA description); empty when none.
  std::u16string Description();
  /// The file's tags (opening it if needed).
  TId3v2Tags& Id3v2Tags();
  /// Why the file holds no audio that can be read (the decoder's words);
  /// empty when it does, or when nothing more is known.
  std::string WhyUnreadable() override;
  /// Why a stream the decoder could read is refused (its sample rate changes
  /// midway); empty when it is not.
  std::string Refusal();
  /// The codec and the container the file holds ("aac" in "mp4"); empty
  /// when it holds no audio that can be read.
  std::string Codec();
  std::string Container();
  /// Every field of the file's tags, repeated values and all, as TagLib
  /// names them (opening it if needed); empty when TagLib cannot read them.
  media::TagSet Tags();
  media::TagSet SourceTags() override;
  TId3v2Tags* CommonFields() override { return &Id3v2Tags(); }
  /// The pictures of the file's tags (opening it if needed).
  std::vector<media::Picture> Pictures();
  /// The file's chapters (an M4B audiobook's), in samples (opening it if needed).
  std::vector<media::Chapter> Chapters();

 protected:
  void OpenFile() override;
  void CloseFile() override;
  /// Where a file of this container and codec keeps its tags: ASF
  /// attributes for WMA, ID3v2 for MP3.
  virtual media::TagContainer TagPlace(const std::string& container, const std::string& codec);
  void GetDataInternal(void*& Buffer, uint32_t& Bytes) override;
  bool SeekInternal(int64_t& SampleNum) override;

  uint32_t FileDuration_ = 0;

 private:
  void Reopen();
  /// The output layout the channel and precision settings ask for.
  void ChooseOutput();
  /// What an MP3 file's frames tell better than the demuxer: junk to leave
  /// out, an honest length, its bit rate.
  void ApplyMp3Facts();
  /// The comment of an MP3 file: its ID3v2 comment frame, else its ID3v1 comment.
  std::u16string Mp3Comment();

  bool HighPrecision_ = false;
  bool FloatSamples_ = false;
  TChannelsNumber OutputChannels_ = cnMonoOrStereo;
  std::shared_ptr<media::ByteSource> bytes_;
  std::unique_ptr<media::Decoder> decoder_;
  int64_t bitrate_ = 0;
  bool vbr_ = false;
  std::string whyUnreadable_;
  std::string refusal_;
  media::TagSet tags_;  // fields and pictures, read with TagLib
  std::vector<uint8_t> block_;  // decoded, being handed out
  size_t handedOut_ = 0;        // bytes of block_ already handed out
};
