// The format registry: what each format is known by, and what it is made of.
#include <gtest/gtest.h>

#include "audio/ACS_LAME.h"
#include "audio/ACS_Wave.h"
#include "audio/ACS_WinMedia.h"
#include "audio/ACS_smpeg.h"
#include "audio/codecs/CodecIn.h"
#include "audio/codecs/CodecOut.h"
#include "audio/codecs/FlacCopyOut.h"
#include "audio/codecs/Mp4CopyOut.h"
#include "audio/codecs/OpusCopyOut.h"
#include "audio/formats/FormatRegistry.h"
#include "audio/mp3/MP3LosslessOut.h"

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
  EXPECT_EQ(SoundFilePatterns(), (std::vector<std::string>{"*.wav", "*.mp3", "*.wma", "*.flac", "*.ogg", "*.oga", "*.opus",
                                                           "*.m4a", "*.m4b", "*.aac", "*.aiff", "*.aif", "*.aifc"}));
  EXPECT_EQ(FormatNames(), "MP3, WAV, WMA, FLAC, Ogg Vorbis, Opus, M4A and AIFF");
}

TEST(FormatRegistry, EachFormatMakesItsOwnComponents) {
  const FormatEntry& wav = *FindFormat(AudioFormat::Wav);
  const FormatEntry& mp3 = *FindFormat(AudioFormat::Mp3);
  const FormatEntry& wma = *FindFormat(AudioFormat::Wma);
  EXPECT_NE(dynamic_cast<TWaveIn*>(wav.newInput().get()), nullptr);
  EXPECT_NE(dynamic_cast<TMP3In*>(mp3.newInput().get()), nullptr);
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
  // The formats of FFmpeg's codecs: their own input and output; Opus and M4A copy their packets.
  for (const AudioFormat format : {AudioFormat::Flac, AudioFormat::Vorbis, AudioFormat::Opus, AudioFormat::M4a}) {
    const FormatEntry& entry = *FindFormat(format);
    const auto in = entry.newInput();
    const auto out = entry.newOutput();
    ASSERT_NE(dynamic_cast<TCodecIn*>(in.get()), nullptr) << entry.name;
    EXPECT_EQ(&dynamic_cast<TCodecIn&>(*in).Traits(), entry.codec);
    ASSERT_NE(dynamic_cast<TCodecOut*>(out.get()), nullptr) << entry.name;
    EXPECT_EQ(&dynamic_cast<TCodecOut&>(*out).Traits(), entry.codec);
    if (format == AudioFormat::Opus) EXPECT_NE(dynamic_cast<TOpusCopyOut*>(entry.newLosslessOutput().get()), nullptr);
    else if (format == AudioFormat::M4a) EXPECT_NE(dynamic_cast<TMp4CopyOut*>(entry.newLosslessOutput().get()), nullptr);
    else EXPECT_EQ(entry.newLosslessOutput, nullptr) << entry.name;
  }
  // A FLAC result copies the frames of a native FLAC source.
  EXPECT_NE(dynamic_cast<TFlacCopyOut*>(FindFormat(AudioFormat::Flac)->newOutput().get()), nullptr);
}

}  // namespace

namespace {

TEST(FormatRegistry, EachEntryTellsWhatItsFormatCanDo) {
  // Frames are copied from MP3 files, packets from Opus and M4A files; MP3 frames alone are walked for the waveform's estimate.
  EXPECT_EQ(FormatNames([](const FormatEntry& e) { return e.newLosslessOutput != nullptr; }), "MP3, Opus and M4A");
  EXPECT_EQ(FormatNames([](const FormatEntry& e) { return e.walksFrames; }), "MP3");
  // A FLAC cut is lossless as it is; only WAV results are appended to.
  EXPECT_EQ(FormatNames([](const FormatEntry& e) { return e.plainCutIsLossless; }), "FLAC");
  EXPECT_EQ(FormatNames([](const FormatEntry& e) { return e.CutsLosslessly(); }), "MP3, FLAC, Opus and M4A");
  // Those that cannot say why.
  EXPECT_EQ(FormatNames([](const FormatEntry& e) { return e.whyNoLosslessCut != nullptr; }), "WMA and Ogg Vorbis");
  EXPECT_EQ(FormatNames([](const FormatEntry& e) { return e.appends; }), "WAV");
  // Encode options: MP3 takes all three, the lossy codecs a bit rate, the lossless ones none.
  EXPECT_EQ(FindFormat(AudioFormat::Mp3)->encodeOptions, unsigned{kBitrateOption | kVbrOption | kModeOption});
  for (AudioFormat f : {AudioFormat::Wma, AudioFormat::Vorbis, AudioFormat::Opus, AudioFormat::M4a})
    EXPECT_EQ(FindFormat(f)->encodeOptions, unsigned{kBitrateOption}) << FormatName(f);
  for (AudioFormat f : {AudioFormat::Flac, AudioFormat::Aiff})
    EXPECT_EQ(FindFormat(f)->encodeOptions, unsigned{kNoEncodeOptions}) << FormatName(f);
  EXPECT_EQ(ExtensionList([](const FormatEntry& e) { return e.encodes; }),
            ".mp3, .wma, .flac, .ogg, .oga, .opus, .m4a, .m4b, .aiff, .aif or .aifc");
  // Every encoder that cannot take any layout says so, and every encoded format has its options' setter.
  for (const FormatEntry& entry : Formats()) {
    SCOPED_TRACE(entry.name);
    EXPECT_EQ(entry.encodes, entry.applyEncodeOptions != nullptr);
    EXPECT_EQ(entry.codec != nullptr, dynamic_cast<TCodecOut*>(entry.newOutput().get()) != nullptr);
    EXPECT_NE(entry.whyUnreadable, nullptr);
  }
  EXPECT_TRUE(FindFormat(AudioFormat::Mp3)->encodesSixteenBitStereo);
  EXPECT_FALSE(FindFormat(AudioFormat::Flac)->encodesSixteenBitStereo);
}

TEST(FormatRegistry, ASourcesOwnCodecIsWrittenAgainAsItIs) {
  // The format's own codec in its own container is the entry's.
  EXPECT_EQ(TraitsOfStream("flac", "flac"), FindFormat(AudioFormat::Flac)->codec);
  EXPECT_EQ(TraitsOfStream("ogg", "opus"), FindFormat(AudioFormat::Opus)->codec);
  EXPECT_EQ(TraitsOfStream("mp4", "aac"), FindFormat(AudioFormat::M4a)->codec);
  EXPECT_EQ(TraitsOfStream("aiff", "pcm_s24be"), FindFormat(AudioFormat::Aiff)->codec);
  // Other codecs an extension may hold keep theirs.
  ASSERT_NE(TraitsOfStream("ogg", "flac"), nullptr);
  EXPECT_EQ(TraitsOfStream("ogg", "flac")->tags, media::TagContainer::OggFlac);
  ASSERT_NE(TraitsOfStream("mp4", "alac"), nullptr);
  EXPECT_STREQ(TraitsOfStream("mp4", "alac")->encoder, "alac");
  EXPECT_TRUE(TraitsOfStream("mp4", "alac")->lossless);
  EXPECT_EQ(TraitsOfStream("mp4", "mp3"), nullptr);  // nothing lesser in its place
  // Where TagLib finds a stream's tags.
  EXPECT_EQ(media::TagContainerOfStream("ogg", "vorbis"), media::TagContainer::OggVorbis);
  EXPECT_EQ(media::TagContainerOfStream("ogg", "speex"), std::nullopt);
}

}  // namespace
