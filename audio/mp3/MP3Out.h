#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <vector>

#include "audio/classes/FileOut.h"
#include "audio/mp3/Mp3Chunks.h"
#include "audio/mp3/Mp3Settings.h"
#include "platform/BlockWorker.h"
#include "platform/LameEncoder.h"
#include "platform/RateConverter.h"

/// Encodes the 16-bit PCM its Input delivers into an MP3 file through LAME. The file ends with a 128-byte ID3v1 record
/// built from Id3v1Tags, starts with a Xing/LAME frame (so decoders return
/// exactly the samples encoded) and gets
/// an ID3v2 tag with the title, artist, album, genre, year and track of
/// Id3v2Tags. The file is always created anew.
class TMP3Out : public TAuTaggedFileOut {
 public:
  TMP3Out();

  /// Also in the ID3v1 record, which a piece's names fill anew.
  void TakePieceTags(const PieceTags& piece, const std::string& source) override;

  TMP3BitRate BitRate() const { return BitRate_; }
  void SetBitRate(TMP3BitRate value) { if (!Busy()) BitRate_ = value; }
  TMP3BitRate MaximumBitrate() const { return MaximumBitrate_; }
  void SetMaximumBitrate(TMP3BitRate value) { if (!Busy()) MaximumBitrate_ = value; }
  TMP3BitRate AverageBitrate() const { return AverageBitrate_; }
  void SetAverageBitrate(TMP3BitRate value) { if (!Busy()) AverageBitrate_ = value; }
  TMP3Mode Mode() const { return Mode_; }
  void SetMode(TMP3Mode value) { if (!Busy()) Mode_ = value; }
  bool CRC() const { return CRC_; }
  void SetCRC(bool value) { if (!Busy()) CRC_ = value; }
  /// Kept, but the encoder is not told (the copyright bit stays clear).
  bool Copyright() const { return Copyright_; }
  void SetCopyright(bool value) { if (!Busy()) Copyright_ = value; }
  bool Original() const { return Original_; }
  void SetOriginal(bool value) { if (!Busy()) Original_ = value; }
  bool EnableVBR() const { return EnableVBR_; }
  void SetEnableVBR(bool value) { if (!Busy()) EnableVBR_ = value; }
  TMP3Quality VBRQuality() const { return VBRQuality_; }
  void SetVBRQuality(TMP3Quality value) { if (!Busy()) VBRQuality_ = value; }
  bool EnableBitReservoir() const { return EnableBitReservoir_; }
  void SetEnableBitReservoir(bool value) { if (!Busy()) EnableBitReservoir_ = value; }
  bool StrictISO() const { return StrictISO_; }
  void SetStrictISO(bool value) { if (!Busy()) StrictISO_ = value; }

  /// Threads to encode a long input on: 0 takes the default (SetDefaultThreads).
  /// A stream is cut into chunks of about 20 seconds, encoded at once and
  /// put together; inputs under 30 seconds, and streams with the bit
  /// reservoir, are encoded on one thread.
  int Threads() const { return Threads_; }
  void SetThreads(int value) { if (!Busy()) Threads_ = value; }
  /// For every output that is not told: 0 (as at start) is one per core.
  static void SetDefaultThreads(int value);
  /// The threads a run with Threads() == 0 uses.
  static int DefaultThreads();

  /// The threads the last run encoded on (1: a single stream).
  int ThreadsUsed() const { return ThreadsUsed_; }

  /// The settings the last run gave the encoder.
  const media::LameSettings& EncoderSettings() const { return EncoderSettings_; }

 protected:
  void Prepare() override;
  bool DoOutput(bool Abort) override;
  void Done() override;

 private:
  void FillSettings();
  void WriteOut(const uint8_t* bytes, uint32_t count);
  /// The 128-byte ID3v1 record of Id3v1Tags (track and genre left 0).
  std::vector<uint8_t> Id3v1Record();
  void WriteId3v2Tag();
  /// Puts the ID3v1 record at the end of the closed file, over one that is there.
  void PlaceId3v1Record();
  /// Starts the chunked encoder when the input is long enough and the settings suit.
  bool StartChunks();
  /// Encodes `samples` 16-bit values and writes what LAME gives back.
  void Encode(int16_t* pcm, uint32_t samples);
  /// Ends the chunked stream and writes its info frame at the start.
  void FinishChunks();
  /// Ends the single stream and writes LAME's info frame at the start.
  void FinishStream();
  /// Waits for the queued chunks; raises what stopped their encoding.
  void FinishEncoding();
  /// Hands `samples` values of encoder-layout PCM to the chunks or the encoder.
  void Submit(int16_t* pcm, uint32_t samples);
  /// The PCM at the encoder's rate; `last` also gives what the converter holds.
  void Resample(const int16_t* pcm, uint32_t samples, bool last);
  /// Ends the encoder stream and closes the file, whatever state they are in.
  void Release();

  TMP3BitRate BitRate_ = mbr128;
  TMP3BitRate MaximumBitrate_ = mbrAuto;
  TMP3BitRate AverageBitrate_ = mbrAuto;
  TMP3Mode Mode_ = mmStereo;
  bool CRC_ = false;
  bool Copyright_ = false;
  bool Original_ = true;
  bool EnableVBR_ = false;
  TMP3Quality VBRQuality_ = mp3ql0;
  bool EnableBitReservoir_ = false;
  bool StrictISO_ = false;
  int Threads_ = 0;
  int ThreadsUsed_ = 1;

  media::LameSettings EncoderSettings_;
  std::unique_ptr<media::LameEncoder> encoder_;
  std::vector<uint8_t> inBuffer_;
  bool inputFlushed_ = true;
  std::unique_ptr<BlockWorker> encoding_;  // the encoder and the file writes, on a thread of their own
  std::unique_ptr<Mp3Chunks> chunks_;      // instead of both, for a long input on several threads
  /// Where the standard has no such bit rate at the input's rate, the
  /// samples go to the rate LAME chooses through our converter first, so
  /// that LAME itself never resamples (it then writes no Xing/LAME frame).
  std::unique_ptr<RateConverter> resampler_;
  std::vector<float> resampleIn_, resampleOut_;
  std::vector<int16_t> resampled_;
  bool resamplerDrained_ = false;
  std::exception_ptr encodingError_;       // why encoding_ failed
};
