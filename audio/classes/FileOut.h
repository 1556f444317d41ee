#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/classes/AuOutput.h"
#include "audio/classes/AuStream.h"
#include "audio/tags/APEv2Tags.h"
#include "audio/tags/Id3v1Tags.h"
#include "audio/tags/Id3v2Tags.h"
#include "audio/tags/PieceTags.h"
#include "platform/FileTags.h"

enum TFileOutputMode { foRewrite = 0, foAppend = 1 };

/// An output that writes a stream, opened in Prepare and freed in Done.
class TAuStreamedOutput : public TAuOutput {
 protected:
  std::unique_ptr<TAuStream> Stream;
};

/// An output that writes one file, named by FileName.
class TAuFileOut : public TAuStreamedOutput {
 public:
  const std::string& FileName() const { return FileName_; }
  void SetFileName(const std::string& value) { FileName_ = value; }
  /// Who else may open the file while it is written. Kept for callers that
  /// set it; a writer of ours always holds its file alone (see TFileMode).
  uint16_t ShareMode() const { return ShareMode_; }
  void SetShareMode(uint16_t value) { ShareMode_ = value; }
  TFileOutputMode FileMode() const { return FileMode_; }
  /// Only writers that can append accept foAppend; this one stores foRewrite.
  virtual void SetFileMode(TFileOutputMode) { FileMode_ = foRewrite; }
  /// Names the result as one piece of `source` (a cue sheet's track) over
  /// the source's tags; outputs that write no tags ignore it.
  virtual void TakePieceTags(const PieceTags&, const std::string& /*source*/) {}

 protected:
  std::string FileName_;
  uint16_t ShareMode_ = 0;
  TFileOutputMode FileMode_ = foRewrite;
};

/// A file output with the tag containers its encoder writes. Assigning a
/// container copies its values into the owned one.
class TAuTaggedFileOut : public TAuFileOut {
 public:
  TId3v1Tags& Id3v1Tags() { return Id3v1Tags_; }
  void SetId3v1Tags(const TId3v1Tags& value) { Id3v1Tags_.Assign(value); }
  TId3v2Tags& Id3v2Tags() { return Id3v2Tags_; }
  void SetId3v2Tags(const TId3v2Tags& value) { Id3v2Tags_.Assign(value); }
  TAPEv2Tags& APEv2Tags() { return APEv2Tags_; }
  void SetAPEv2Tags(const TAPEv2Tags& value) { APEv2Tags_.Assign(value); }

  /// Every field of the source's tags, written under Id3v2Tags' fields
  /// (which win where they differ) less those that describe the whole
  /// source's audio (ReplayGain, iTunNORM, lengths): they would be wrong here.
  const media::TagSet& SourceTags() const { return SourceTags_; }
  void SetSourceTags(media::TagSet value) { if (!Busy()) SourceTags_ = std::move(value); }
  const std::vector<media::Picture>& Pictures() const { return Pictures_; }
  void SetPictures(std::vector<media::Picture> value) { if (!Busy()) Pictures_ = std::move(value); }
  /// Sets the title, artist and track the piece has.
  void TakePieceTags(const PieceTags& piece, const std::string& source) override;

 private:
  TId3v1Tags Id3v1Tags_;
  TId3v2Tags Id3v2Tags_;
  TAPEv2Tags APEv2Tags_;
  media::TagSet SourceTags_;
  std::vector<media::Picture> Pictures_;
};
