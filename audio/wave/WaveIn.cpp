#include "audio/wave/WaveIn.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "audio/classes/AuException.h"
#include "audio/classes/Convert.h"
#include "audio/classes/FileStream.h"
#include "audio/classes/MemoryStream.h"
#include "audio/wave/G711.h"
#include "audio/wave/WaveConverter.h"
#include "platform/Error.h"
#include "platform/FdIo.h"

namespace {

constexpr int kBufferSize = 16384;

}  // namespace

TWaveIn::TWaveIn() = default;

media::TagSet TWaveIn::SourceTags() {
  try {
    return media::ReadTags(FileName_, media::TagContainer::Wav);
  } catch (const std::runtime_error&) {
    return {};  // no tags TagLib reads: the samples may still be read
  }
}

TWavType TWaveIn::WavType() {
  std::lock_guard lock(FileLock);
  OpenFile();
  return WavType_;
}

int64_t TWaveIn::PcmDataOffset() {
  std::lock_guard lock(FileLock);
  OpenFile();
  return Valid_ && (WavType_ == wtPCM || WavType_ == wtExtPCM) ? HeaderSize_ : -1;
}

bool TWaveIn::HeaderUnfinished() {
  std::lock_guard lock(FileLock);
  OpenFile();
  return Valid_ && header_.unfinished;
}

namespace {

// Beyond these no recorder or converter writes a file; a header that says
// more is damaged, and taking it at its word would only overflow later.
constexpr uint32_t kHighestSampleRate = 768000;
constexpr uint16_t kMostChannels = 32;

/// What makes the header's numbers impossible; empty when they are plausible.
std::string ImplausibleField(const WavHeader& h) {
  if (h.sampleRate == 0 || h.sampleRate > kHighestSampleRate)
    return "the sample rate of " + std::to_string(h.sampleRate) + " Hz in the WAV header is not possible";
  if (h.channels == 0 || h.channels > kMostChannels)
    return "the channel count of " + std::to_string(h.channels) + " in the WAV header is not possible";
  return {};
}

}  // namespace

std::string TWaveIn::WhyUnreadable() {
  std::lock_guard lock(FileLock);
  OpenFile();
  if (Valid_) return {};
  const bool formatRead = header_.format.size() >= 16;
  if (header_.found && formatRead) {
    if (std::string field = ImplausibleField(header_); !field.empty()) return field;
  }
  if (formatRead && header_.type == wtUnsupported) return "WAV encoding " + WavEncodingName(header_.formatTag) + " is not supported";
  if (!header_.found && header_.riffWave)
    return "the WAV file ends before its samples start (no \"data\" chunk): it is cut short or damaged";
  if (!header_.found) return "not a WAV file, or its header is damaged";
  return "WAV encoding " + WavEncodingName(header_.formatTag) + " with " + std::to_string(header_.channels) +
         " channels of " + std::to_string(header_.bitsPerSample) + " bits is not supported";
}

int TWaveIn::FramesPerAdpcmBlock() const {
  if (WavType_ == wtDVIADPCM) return Adpcm::ImaFramesPerBlock(header_.blockAlign, header_.channels);
  if (WavType_ == wtMSADPCM)
    return std::min<int>(header_.samplesPerBlock, Adpcm::MsFramesInBlock(header_.blockAlign, header_.channels));
  return 0;
}

bool TWaveIn::AcceptHeader() {
  const WavHeader& h = header_;
  if (!h.found || !ImplausibleField(h).empty()) return false;
  // A file cut short (or a size never filled in) holds less than its header
  // says: count only the whole frames that are there.
  const int64_t dataPresent = std::min<int64_t>(static_cast<int64_t>(std::min<uint64_t>(h.dataSize, INT64_MAX)),
                                                std::max<int64_t>(Stream->Size() - h.dataOffset, 0));
  const int64_t storedFrameBytes = std::max<int64_t>(int64_t{h.channels} * h.bitsPerSample / 8, 1);
  const int64_t wholeFrames = dataPresent - dataPresent % storedFrameBytes;
  Channels_ = h.channels;
  SampleRate_ = static_cast<int>(h.sampleRate);
  BitsPerSample_ = h.bitsPerSample;
  switch (WavType_) {
    case wtPCM:
    case wtExtPCM: {
      const int bits = h.bitsPerSample;
      if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
      if (h.channels * bits / 8 > 65535) return false;
      Size_ = wholeFrames;
      return true;
    }
    case wtIEEEFloat:
    case wtExtIEEEFloat:
      if (h.bitsPerSample != 32 && h.bitsPerSample != 64) return false;
      if (h.channels * 8 > 65535) return false;
      Float32_ = h.bitsPerSample == 32;
      BitsPerSample_ = 32;
      Size_ = Float32_ ? wholeFrames : wholeFrames / 2;
      return true;
    case wtALaw:
    case wtMuLaw:
      if (h.bitsPerSample != 8 || h.channels * 2 > 65535) return false;
      BitsPerSample_ = 16;
      Size_ = wholeFrames * 2;
      return true;
    case wtDVIADPCM:
    case wtMSADPCM: {
      if (WavType_ == wtDVIADPCM && h.bitsPerSample != 4) return false;
      if (h.channels > 2 || FramesPerAdpcmBlock() < 2) return false;
      if (WavType_ == wtMSADPCM && (h.declaredCoefficients == 0 || h.declaredCoefficients > 32 ||
                                    h.coefficients.size() != h.declaredCoefficients))
        return false;
      BitsPerSample_ = 16;
      // Only whole blocks decode; a "fact" count limits them but promises nothing.
      const int64_t inBlocks = dataPresent / h.blockAlign * FramesPerAdpcmBlock();
      const int64_t samples = h.hasFact ? std::min<int64_t>(h.factSamples, inBlocks) : inBlocks;
      Size_ = int64_t{Channels_} * samples * 2;
      return true;
    }
    default:
      return false;
  }
}

void TWaveIn::OpenFile() {
  std::lock_guard lock(FileLock);
  if (OpenCount > 0) return;
  Valid_ = true;
  Float32_ = false;
  WavType_ = wtUnsupported;
  Size_ = 0;
  BitsPerSample_ = Channels_ = SampleRate_ = 0;
  skipFrames_ = 0;
  Stream = std::make_unique<TAuFileStream>(FileName_, TFileMode::Read);
  header_ = ScanWavHeader(*Stream, kWavScanWindow);
  WavType_ = header_.found ? header_.type : wtUnsupported;
  if (WavType_ == wtACM) {
    if (!OpenConverted()) {
      Valid_ = false;
      Stream.reset();
      return;  // OpenCount stays 0
    }
  } else {
    Valid_ = AcceptHeader();
    HeaderSize_ = header_.dataOffset;
  }
  OpenCount = 1;
}

bool TWaveIn::OpenConverted() {
  TWaveConverter converter;
  Stream->Seek(0, TAuStream::FromBeginning);
  converter.LoadFile(*Stream);
  if (!converter.Convert()) return false;
  auto converted = std::make_unique<TAuMemoryStream>();
  if (!converter.SaveWav(*converted)) return false;
  fileStream_ = std::move(Stream);
  Stream = std::move(converted);
  header_ = ScanWavHeader(*Stream, kWavScanWindow);
  WavType_ = wtPCM;
  const bool accepted = AcceptHeader();
  WavType_ = wtACM;
  HeaderSize_ = header_.dataOffset;
  return accepted;
}

void TWaveIn::CloseFile() {
  std::lock_guard lock(FileLock);
  if (OpenCount == 0) return;
  Stream.reset();
  fileStream_.reset();
  OpenCount = 0;
}

int TWaveIn::DecodeNextBlock() {
  const int blockAlign = header_.blockAlign;
  block_.resize(static_cast<size_t>(blockAlign));
  if (Stream->Position() >= Stream->Size()) return 0;
  if (Stream->Read(block_.data(), blockAlign) != blockAlign) return 0;  // a partial block ends the data
  const int frames = FramesPerAdpcmBlock();
  buffer_.resize(std::max<size_t>(buffer_.size(), static_cast<size_t>(frames) * header_.channels * 2));
  auto* out = reinterpret_cast<int16_t*>(buffer_.data());
  if (WavType_ == wtDVIADPCM) return Adpcm::ImaDecodeBlock(block_.data(), blockAlign, header_.channels, out);
  const int decoded = Adpcm::MsDecodeBlock(block_.data(), blockAlign, header_.channels, frames,
                                           header_.coefficients.data(), static_cast<int>(header_.coefficients.size()), out);
  return std::max(decoded, 0);
}

void TWaveIn::GetDataInternal(void*& Buffer, uint32_t& Bytes) {
  if (!Busy_) throw EAuException("The Stream is not opened");
  if (!Valid_) {
    Bytes = 0;
    return;
  }
  if (buffer_.size() < kBufferSize) buffer_.resize(kBufferSize);
  while (BufStart_ > BufEnd_) {
    BufStart_ = 1;
    switch (WavType_) {
      case wtPCM:
      case wtExtPCM:
      case wtACM: {
        buffer_.resize(std::max<size_t>(kBufferSize, FrameSize_));
        const int64_t want = static_cast<int64_t>(buffer_.size()) - static_cast<int64_t>(buffer_.size()) % FrameSize_;
        BufEnd_ = static_cast<int32_t>(Stream->Read(buffer_.data(), want));
        break;
      }
      case wtIEEEFloat:
      case wtExtIEEEFloat: {
        const int fileFrame = Channels_ * (Float32_ ? 4 : 8);
        buffer_.resize(std::max<size_t>(kBufferSize, static_cast<size_t>(fileFrame)));
        const int64_t want = static_cast<int64_t>(buffer_.size()) - static_cast<int64_t>(buffer_.size()) % fileFrame;
        const auto got = static_cast<int32_t>(Stream->Read(buffer_.data(), want));
        if (Float32_) {
          SampleConvert::SingleToInt32InPlace(buffer_.data(), got);
          BufEnd_ = got / 4 * 4;
        } else {
          SampleConvert::DoubleToInt32InPlace(buffer_.data(), got);
          BufEnd_ = got / 8 * 4;
        }
        break;
      }
      case wtALaw:
      case wtMuLaw: {
        // Read into the upper half and expand each byte to 16 bits from the front.
        buffer_.resize(std::max<size_t>(kBufferSize, FrameSize_ * 2u));
        const int64_t codes = static_cast<int64_t>(buffer_.size() / 2) - static_cast<int64_t>(buffer_.size() / 2) % Channels_;
        uint8_t* in = buffer_.data() + buffer_.size() / 2;
        const int64_t got = Stream->Read(in, codes);
        const int64_t whole = std::max<int64_t>(got, 0) - std::max<int64_t>(got, 0) % Channels_;
        static const auto aLaw = G711::Table(true), muLaw = G711::Table(false);
        const auto& table = WavType_ == wtALaw ? aLaw : muLaw;
        auto* out = reinterpret_cast<int16_t*>(buffer_.data());
        for (int64_t i = 0; i < whole; ++i) out[i] = table[in[i]];
        BufEnd_ = static_cast<int32_t>(whole * 2);
        break;
      }
      case wtDVIADPCM:
      case wtMSADPCM:
        BufEnd_ = DecodeNextBlock() * Channels_ * 2;
        break;
      default:
        BufEnd_ = 0;
    }
    if (BufEnd_ <= 0) {
      BufEnd_ = 0;
      Bytes = 0;
      return;
    }
    // After a seek into the middle of a block, the frames before the wanted one are dropped.
    const int64_t skipBytes = skipFrames_ * FrameSize_;
    skipFrames_ = 0;
    BufStart_ = static_cast<int32_t>(std::min<int64_t>(1 + skipBytes, int64_t{BufEnd_} + 1));
  }
  Bytes -= Bytes % FrameSize_;
  Bytes = std::min<uint32_t>(Bytes, static_cast<uint32_t>(BufEnd_ - BufStart_ + 1));
  Buffer = buffer_.data() + (BufStart_ - 1);
  BufStart_ += static_cast<int32_t>(Bytes);
}

int64_t TWaveIn::CopyInternal(int fd, int64_t Bytes) {
  auto* file = dynamic_cast<TAuFileStream*>(Stream.get());
  const bool plain = (WavType_ == wtPCM || WavType_ == wtExtPCM) && Valid_ && Busy_;
  if (file == nullptr || !plain || BufStart_ <= BufEnd_ || skipFrames_ != 0) return -1;
  // Plain reads and writes of 1 MiB: on ext4 they beat copy_file_range,
  // which splices page by page, and the offsets are never block-aligned
  // for a file system that could share the blocks instead.
  constexpr int64_t kPiece = 1 << 20;
  copyBuffer_.resize(kPiece);
  const int64_t from = file->Position();
  int64_t moved = 0;
  while (moved < Bytes) {
    const int64_t wanted = std::min(kPiece, Bytes - moved);
    const int64_t got = FdIo::ReadAt(file->Handle(), copyBuffer_.data(), static_cast<size_t>(wanted), from + moved);
    if (got < 0) throw EAuException(std::string("Error reading ") + FileName_ + ": " + ErrnoText(errno));
    // Only whole frames count; the piece of one at a cut-short end is left.
    const int64_t whole = got - got % FrameSize_;
    // The writing side's failures read as the writer's own.
    if (FdIo::Write(fd, copyBuffer_.data(), static_cast<size_t>(whole)) != whole)
      throw EAuException(WithErrno("Error writing wave file", errno));
    moved += whole;
    if (got < wanted) break;  // the end of the file
  }
  file->Seek(from + moved, TAuStream::FromBeginning);
  return moved;
}

bool TWaveIn::SeekInternal(int64_t& SampleNum) {
  BufStart_ = 1;
  BufEnd_ = 0;
  skipFrames_ = 0;
  if (SampleNum < 0) SampleNum = 0;
  switch (WavType_) {
    case wtPCM:
    case wtExtPCM:
    case wtACM:
      return Stream->Seek(HeaderSize_ + SampleNum * FrameSize_, TAuStream::FromBeginning) >= 0;
    case wtIEEEFloat:
    case wtExtIEEEFloat:
      return Stream->Seek(HeaderSize_ + SampleNum * Channels_ * (Float32_ ? 4 : 8), TAuStream::FromBeginning) >= 0;
    case wtALaw:
    case wtMuLaw:
      return Stream->Seek(HeaderSize_ + SampleNum * Channels_, TAuStream::FromBeginning) >= 0;
    case wtDVIADPCM:
    case wtMSADPCM: {
      const int frames = FramesPerAdpcmBlock();
      skipFrames_ = SampleNum % frames;
      return Stream->Seek(HeaderSize_ + SampleNum / frames * header_.blockAlign, TAuStream::FromBeginning) >= 0;
    }
    default:
      return false;
  }
}
