// The format registry: what each format is known by, and what it is made of.
#include <gtest/gtest.h>

#include "audio/ACS_LAME.h"
#include "audio/ACS_Wave.h"
#include "audio/ACS_WinMedia.h"
#include "audio/ACS_smpeg.h"
#include "audio/codecs/CodecIn.h"
#include "audio/codecs/CodecOut.h"
#include "audio/formats/FormatRegistry.h"
#include "audio/mp3cut/MP3LosslessOut.h"

namespace {

TEST(FormatRegistry, ExtensionsInAnyCaseNameTheirFormat) {
  EXPECT_EQ(FormatOfFile("/music/a.Mp3"), AudioFormat::Mp3);
  EXPECT_EQ(FormatOfFile("song.WAV"), AudioFormat::Wav);
  EXPECT_EQ(FormatOfFile("x.wma"), AudioFormat::Wma);
  EXPECT_EQ(FormatOfFile("/a.wav/readme"), AudioFormat::Unknown);  // a dot in a folder is no extension
  EXPECT_EQ(FormatOfFile("notes.txt"), AudioFormat::Unknown);
  EXPECT_EQ(FormatEntryOfFile("notes.txt"), nullptr);
  EXPECT_STREQ(FormatName(AudioFormat::Wma), "WMA");
  EXPECT_STREQ(FormatName(AudioFormat::Unknown), "unknown");
}

TEST(FormatRegistry, TheDialogsAndMessagesListEveryFormat) {
  EXPECT_EQ(SoundFilesFilter(),
            "Sound Files(*.wav;*.mp3;*.wma;*.flac;*.ogg;*.oga;*.opus;*.m4a;*.m4b;*.aac;*.aiff;*.aif;*.aifc)"
            "|*.wav;*.mp3;*.wma;*.flac;*.ogg;*.oga;*.opus;*.m4a;*.m4b;*.aac;*.aiff;*.aif;*.aifc");
  EXPECT_EQ(FormatNames(), "MP3, WAV, WMA, FLAC, Ogg Vorbis, Opus, M4A and AIFF");
  EXPECT_EQ(FindFormat(AudioFormat::Mp3)->Patterns(), "*.mp3");
  EXPECT_EQ(FindFormat(AudioFormat::M4a)->Patterns(), "*.m4a;*.m4b;*.aac");
  EXPECT_EQ(FindFormat(AudioFormat::Aiff)->Patterns(), "*.aiff;*.aif;*.aifc");
}

TEST(FormatRegistry, EachFormatMakesItsOwnComponents) {
  const FormatEntry& wav = *FindFormat(AudioFormat::Wav);
  const FormatEntry& mp3 = *FindFormat(AudioFormat::Mp3);
  const FormatEntry& wma = *FindFormat(AudioFormat::Wma);
  EXPECT_NE(dynamic_cast<TWaveIn*>(wav.newInput().get()), nullptr);
  EXPECT_NE(dynamic_cast<TMP3In*>(mp3.newInput().get()), nullptr);
  // Counting exactly what the file holds: not the third of a second TMP3In announces.
  EXPECT_EQ(dynamic_cast<TMP3In*>(mp3.newExactInput().get()), nullptr);
  EXPECT_NE(dynamic_cast<TWMIn*>(mp3.newExactInput().get()), nullptr);
  EXPECT_NE(dynamic_cast<TWMAOut*>(wma.newOutput().get()), nullptr);
  EXPECT_NE(dynamic_cast<TMP3LosslessOut*>(mp3.newLosslessOutput().get()), nullptr);
  EXPECT_EQ(wav.newLosslessOutput, nullptr);
  EXPECT_EQ(wma.newLosslessOutput, nullptr);
  // The settings every job starts from.
  const auto waveOut = wav.newOutput();
  EXPECT_EQ(dynamic_cast<TWaveOut&>(*waveOut).WavType(), wtPCM);
  const auto mp3Out = mp3.newOutput();
  EXPECT_EQ(dynamic_cast<TMP3Out&>(*mp3Out).BitRate(), mbr128);
  EXPECT_EQ(dynamic_cast<TMP3Out&>(*mp3Out).Mode(), mmMono);
  // The formats of FFmpeg's codecs: their own input and output, no lossless copy.
  for (const auto& [format, kind] : {std::pair{AudioFormat::Flac, CodecKind::Flac}, {AudioFormat::Vorbis, CodecKind::Vorbis},
                                    {AudioFormat::Opus, CodecKind::Opus}, {AudioFormat::M4a, CodecKind::Aac}}) {
    const FormatEntry& entry = *FindFormat(format);
    const auto in = entry.newInput();
    const auto out = entry.newOutput();
    ASSERT_NE(dynamic_cast<TCodecIn*>(in.get()), nullptr) << entry.name;
    EXPECT_EQ(dynamic_cast<TCodecIn&>(*in).Kind(), kind);
    ASSERT_NE(dynamic_cast<TCodecOut*>(out.get()), nullptr) << entry.name;
    EXPECT_EQ(dynamic_cast<TCodecOut&>(*out).Kind(), kind);
    EXPECT_EQ(entry.newLosslessOutput, nullptr);
  }
}

}  // namespace
