#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "platform/ByteSource.h"

/// An Ogg Opus file taken apart without decoding it (RFC 7845, RFC 6716's
/// table of contents byte), and Ogg pages written anew (RFC 3533), so that
/// a range of it can be copied packet by packet.
namespace media {

struct OggOpusPacket {
  std::vector<std::pair<int64_t, int64_t>> spans;  // where its bytes lie: offset and length, over one page or more
  int64_t bytes = 0;
  int64_t start = 0;  // its first sample, counted as granule positions count (pre-skip included)
  int duration = 0;   // samples at 48 kHz
};

struct OggOpusStream {
  uint32_t serial = 0;
  std::vector<uint8_t> head;  // the OpusHead packet
  int preSkip = 0;
  std::vector<OggOpusPacket> packets;  // the audio packets, in order
  int64_t endGranule = 0;              // the last page's granule position
  /// The samples a decoder delivers: what the last granule position counts, less the pre-skip.
  int64_t Samples() const { return endGranule - preSkip; }
};

/// Reads the single Opus stream of an Ogg file; nothing when the file is not
/// one (another codec, chained or multiplexed streams, a broken page or packet).
std::optional<OggOpusStream> ScanOggOpus(ByteSource& source);

/// The samples (48 kHz) an Opus packet holds, from its table of contents; 0 when it holds none or is malformed.
int OpusPacketSamples(const uint8_t* packet, size_t size);

/// Ogg's CRC-32 (polynomial 0x04C11DB7, not reflected), continued from `crc`.
uint32_t OggCrc(const uint8_t* data, size_t size, uint32_t crc = 0);

/// Builds the pages of one logical stream: packets are added with the
/// granule position after them; a page is closed when it is full, and
/// FinishStream closes the last with the end of stream mark.
class OggPageWriter {
 public:
  explicit OggPageWriter(uint32_t serial) : serial_(serial) {}
  /// Adds a packet; `ownPage` closes the pages before and after it (the headers'). Pages made go to `out`.
  void Add(const uint8_t* packet, size_t size, int64_t granuleAfter, bool ownPage, std::vector<uint8_t>& out);
  /// Closes the last page, marked as the end of the stream.
  void FinishStream(std::vector<uint8_t>& out);

 private:
  void ClosePage(std::vector<uint8_t>& out, bool last);

  uint32_t serial_;
  uint32_t sequence_ = 0;
  std::vector<uint8_t> lacing_, body_;
  int64_t granule_ = -1;       // of the last packet completed on the page being built; -1: none
  bool continued_ = false;     // the page being built starts inside a packet
};

}  // namespace media
