#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "audio/classes/AuStream.h"
#include "platform/wmvcore.h"

class TAudioStream;

/// The state of one input's Windows Media reader.
struct wma_sync_reader {
  std::shared_ptr<TAudioStream> stream;
  std::shared_ptr<wm::IWMSyncReader> reader;
  std::shared_ptr<wm::INSSBuffer> sample;  // the block being handed out
  std::shared_ptr<wm::IWMHeaderInfo> headerInfo;
  uint32_t consumed = 0;                   // bytes of `sample` already handed out
  uint16_t streamNumber = 0;
  uint32_t outputNumber = 0;
  bool hasAudio = false;
  bool isProtected = false;
  uint32_t channels = 0;
  uint32_t sampleRate = 0;
  uint32_t bitsPerSample = 0;
  uint64_t duration = 0;                   // 100 ns units
};

/// Opens the reader on `source` from its current position (retrying from byte
/// 30). Channel code: 0 the source's own layout, -1 the richest format, 6 or 8
/// that many channels. Without a usable source `reader` stays empty.
void OpenReader(wma_sync_reader& r, TAuStream& source, bool highPrecision, int channelCode);
/// Hundredths of a second, rounded.
uint32_t ReaderDuration(const wma_sync_reader& r);
/// Bits per second; 0 when the file does not tell. Needs the header info.
uint32_t ReaderBitrate(wma_sync_reader& r);
bool ReaderIsVBR(wma_sync_reader& r);
/// A text attribute; empty when the file has none.
std::u16string ReaderGetString(wma_sync_reader& r, const std::u16string& name);
/// Positions the reader at `hundredths` of a second (fractions allowed, so
/// that a frame can be reached exactly).
void ReaderSeek(wma_sync_reader& r, double hundredths);
/// Hands out up to `bytes` of the next PCM; 0 bytes at the end. The pointer
/// stays valid until the next call.
void ReaderRead(wma_sync_reader& r, void*& buffer, uint32_t& bytes);
void CloseReader(wma_sync_reader& r);
