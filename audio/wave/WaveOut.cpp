#include "audio/wave/WaveOut.h"

#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "audio/classes/AuException.h"
#include "audio/classes/FileStream.h"
#include "audio/tags/TagFields.h"
#include "platform/ByteOrder.h"
#include "platform/Error.h"

namespace {

constexpr int kBlockBytes = 16384;
constexpr int64_t kCopyBytes = 32 << 20;  // per block the input copies itself (about 3 minutes of CD audio)
constexpr int64_t kMaxWavBytes = 0xFFFFFFFFll;  // the RIFF size counts all but 8 bytes
constexpr int kAppendWindow = 4096;

/// Lays out a header of at most 104 bytes (an extensible RF64 one), little-endian.
class HeaderBuilder {
 public:
  HeaderBuilder& Text(const char* four) {
    for (int i = 0; i < 4; ++i) Byte(static_cast<uint8_t>(four[i]));
    return *this;
  }
  HeaderBuilder& U16(uint32_t value) {
    ByteOrder::PutLe16(Room(2), static_cast<uint16_t>(value));
    return *this;
  }
  HeaderBuilder& U32(uint32_t value) {
    ByteOrder::PutLe32(Room(4), value);
    return *this;
  }
  HeaderBuilder& Bytes(const uint8_t* from, int count) {
    for (int i = 0; i < count; ++i) Byte(from[i]);
    return *this;
  }
  const uint8_t* data() const { return bytes_.data(); }
  int size() const { return size_; }

 private:
  HeaderBuilder& Byte(uint32_t value) {
    *Room(1) = static_cast<uint8_t>(value);
    return *this;
  }
  /// The next `count` bytes of the header.
  uint8_t* Room(int count) {
    if (size_ + count > static_cast<int>(bytes_.size())) throw Error(ErrorKind::Failed, "a WAV header of more than 104 bytes");
    size_ += count;
    return bytes_.data() + size_ - count;
  }
  std::array<uint8_t, 104> bytes_{};
  int size_ = 0;
};

/// The "ds64" chunk of an RF64 header: RIFF size, data size and sample
/// count, 64 bits each, filled in at the end, and no table.
void Ds64(HeaderBuilder& h) { h.Text("ds64").U32(28).U32(0).U32(0).U32(0).U32(0).U32(0).U32(0).U32(0); }

uint32_t ChannelMask(int channels) {
  switch (channels) {
    case 1: return 1;
    case 2: return 3;
    case 6: return 63;
    case 8: return 255;
    default: return channels >= 32 ? 0xFFFFFFFFu : (1u << channels) - 1;  // the first n speaker positions
  }
}

}  // namespace

void TWaveOut::SetWavType(TWavType value) {
  if (Busy() || (value != wtPCM && value != wtDVIADPCM)) return;
  WavType_ = value;
}

void TWaveOut::SetBlockSize(uint16_t value) {
  if (Busy() || value == 0 || value % 4 != 0) return;
  BlockSize_ = value;
}

int TWaveOut::SamplesPerBlock(int channels) const { return Adpcm::ImaFramesPerBlock(BlockSize_, channels); }

void TWaveOut::WriteHeader(const uint8_t* bytes, int size) {
  if (Stream->Write(bytes, size) != size) throw WriteError();
}

void TWaveOut::Refuse(const char* message) {
  Input_->Flush();
  Stream.reset();
  throw EAuException(message);
}

void TWaveOut::Prepare() {
  EndOfInput = false;
  samplesWritten_ = 0;
  copyDirect_ = false;
  appending_ = false;
  headerBytes_ = 0;
  rf64_ = false;
  DataSize = 0;
  if (FileName_.empty()) throw EAuException("File name is not assigned.");
  std::error_code error;
  const bool exists = std::filesystem::exists(FileName_, error);
  if (exists && FileMode_ == foAppend) Stream = std::make_unique<TAuFileStream>(FileName_, TFileMode::Update);
  else Stream = std::make_unique<TAuFileStream>(FileName_, TFileMode::Create);
  Input_->Init();

  const int channels = Input_->Channels();
  const int bits = Input_->BitsPerSample();
  const int rate = Input_->SampleRate();
  copyDirect_ = dynamic_cast<TAuStreamedInput*>(Input_) != nullptr && dynamic_cast<TAuFileStream*>(Stream.get()) != nullptr;
  channels_ = channels;
  if ((channels > 2 || bits > 16) && !CreateNonMsHeaders_) WavType_ = wtExtPCM;

  if (FileMode_ == foAppend && Stream->Size() > 0) {
    existing_ = ScanWavHeader(*Stream, kAppendWindow, true);
    // Samples added after a chunk that follows the data (tags) would be
    // heard as part of it: only a file its samples end can grow.
    const int64_t dataEnd = existing_.dataOffset + static_cast<int64_t>(existing_.dataSize);
    const bool dataLast = existing_.unfinished || dataEnd + 1 >= Stream->Size();
    if (!existing_.found || (existing_.type != wtPCM && existing_.type != wtDVIADPCM) || existing_.rf64 || !dataLast)
      Refuse("Cannot append data to this .wav file.");
    WavType_ = existing_.type;
    appending_ = true;
  }

  const int64_t announced = Input_->Size();
  const int64_t dataEstimate = WavType_ == wtDVIADPCM ? announced / 4 : announced;
  const bool plainPcm = WavType_ == wtPCM || WavType_ == wtExtPCM;
  rf64_ = plainPcm && !appending_ && announced + 104 > std::min(Rf64Above_, kMaxWavBytes);
  if (!rf64_ && dataEstimate + (appending_ ? Stream->Size() : 68) > kMaxWavBytes)
    Refuse("The result would be larger than the 4 GiB a WAV file can hold");
  DataSize = static_cast<uint32_t>(std::max<int64_t>(announced, 0));
  switch (WavType_) {
    case wtPCM: {
      if (appending_) {
        if (rate != static_cast<int>(existing_.sampleRate) || bits != existing_.bitsPerSample ||
            channels != existing_.channels)
          Refuse("Cannot append data in different audio format.");
        Stream->Seek(0, TAuStream::FromEnd);
        return;
      }
      const uint32_t align = static_cast<uint32_t>(bits * channels / 8);
      HeaderBuilder h;
      h.Text(rf64_ ? "RF64" : "RIFF").U32(rf64_ ? 0xFFFFFFFF : DataSize + 36).Text("WAVE");
      if (rf64_) Ds64(h);
      h.Text("fmt ").U32(16).U16(1).U16(channels).U32(rate);
      h.U32(rate * align).U16(align).U16(bits).Text("data").U32(rf64_ ? 0xFFFFFFFF : DataSize);
      headerBytes_ = rf64_ ? 80 : 44;
      WriteHeader(h.data(), h.size());
      return;
    }
    case wtDVIADPCM: {
      if (bits != 16) Refuse("Cannot encode 8 bit sound into ADPCM.");
      if (channels < 1 || channels > 2) Refuse("Cannot encode more than two channels into ADPCM.");
      if (appending_) {
        if (rate != static_cast<int>(existing_.sampleRate) || channels != existing_.channels)
          Refuse("Cannot append data in different audio format.");
        BlockSize_ = existing_.blockAlign;
        Stream->Seek(0, TAuStream::FromEnd);
        return;
      }
      const int spb = SamplesPerBlock(channels);
      const uint32_t samples = static_cast<uint32_t>(Input_->Size() / (bits / 8) / channels);
      const auto adpcmSize = static_cast<uint32_t>(std::nearbyint(static_cast<double>(samples) / spb) * BlockSize_);
      HeaderBuilder h;
      h.Text("RIFF").U32(adpcmSize + 52).Text("WAVE").Text("fmt ").U32(20).U16(17).U16(channels).U32(rate);
      h.U32(rate / spb * BlockSize_).U16(BlockSize_).U16(4).U16(2).U16(spb);
      h.Text("fact").U32(4).U32(samples).Text("data").U32(adpcmSize);
      headerBytes_ = 60;
      WriteHeader(h.data(), h.size());
      encoder_[0].index = encoder_[1].index = 0;
      return;
    }
    case wtExtPCM: {
      const uint32_t align = static_cast<uint32_t>(bits * channels / 8);
      HeaderBuilder h;
      h.Text(rf64_ ? "RF64" : "RIFF").U32(rf64_ ? 0xFFFFFFFF : DataSize + 60).Text("WAVE");
      if (rf64_) Ds64(h);
      h.Text("fmt ").U32(40).U16(0xFFFE).U16(channels).U32(rate);
      h.U32(rate * align).U16(align).U16(bits).U16(22).U16(bits).U32(ChannelMask(channels));
      h.Bytes(kWavPcmGuid, 16);
      h.Text("data").U32(rf64_ ? 0xFFFFFFFF : DataSize);
      headerBytes_ = rf64_ ? 104 : 68;
      WriteHeader(h.data(), h.size());
      return;
    }
    default:
      throw EAuException("Cannot write this kind of wave file.");
  }
}

bool TWaveOut::DoOutput(bool Abort) {
  if (Abort || EndOfInput || !Stream) return false;
  if (WavType_ == wtPCM || WavType_ == wtExtPCM) {
    if (copyDirect_) {
      // The same PCM on both sides: the input copies its bytes into our file.
      CheckRoomFor(kCopyBytes);
      const int64_t moved = static_cast<TAuStreamedInput*>(Input_)->DeliverTo(
          static_cast<TAuFileStream*>(Stream.get())->Handle(), kCopyBytes);
      if (moved >= 0) return moved > 0;
      copyDirect_ = false;  // this input cannot: take its blocks instead
    }
    void* block = nullptr;
    uint32_t bytes = kBlockBytes;
    Input_->GetData(block, bytes);
    if (bytes == 0) return false;
    CheckRoomFor(bytes);
    // A failed data write (a full disk) must not end as a success.
    if (Stream->Write(block, bytes) != bytes) throw WriteError();
    return true;
  }
  // IMA ADPCM: one block per call, zero-padded at the end of the input.
  const int spb = SamplesPerBlock(channels_);
  std::vector<int16_t> samples(static_cast<size_t>(spb) * channels_, 0);
  std::vector<uint8_t> block(BlockSize_);
  const int wanted = static_cast<int>(samples.size() * 2);
  int filled = 0;
  while (filled < wanted) {
    const int got = Input_->CopyData(reinterpret_cast<uint8_t*>(samples.data()) + filled, wanted - filled);
    if (got == 0) {
      EndOfInput = true;
      break;
    }
    filled += got;
  }
  if (filled == 0) return false;
  samplesWritten_ += filled / 2 / channels_;
  Adpcm::ImaEncodeBlock(samples.data(), BlockSize_, channels_, encoder_, block.data());
  CheckRoomFor(BlockSize_);
  if (Stream->Write(block.data(), BlockSize_) != BlockSize_) throw WriteError();
  return !EndOfInput;
}

void TWaveOut::Write32At(int64_t offset, uint32_t value) {
  uint8_t bytes[4];
  ByteOrder::PutLe32(bytes, value);
  Stream->Seek(offset, TAuStream::FromBeginning);
  if (Stream->Write(bytes, 4) != 4) throw WriteError();
}

void TWaveOut::PatchHeader() {
  const int64_t fileSize = Stream->Size();
  if (rf64_) {
    const int64_t data = fileSize - headerBytes_;
    const auto put64 = [this](int64_t offset, int64_t value) {
      Write32At(offset, static_cast<uint32_t>(value));
      Write32At(offset + 4, static_cast<uint32_t>(static_cast<uint64_t>(value) >> 32));
    };
    put64(20, fileSize - 8);
    put64(28, data);
    put64(36, channels_ > 0 && Input_->BitsPerSample() > 0 ? data / (channels_ * Input_->BitsPerSample() / 8) : 0);
    return;
  }
  const auto size32 = [](int64_t value) { return static_cast<uint32_t>(std::max<int64_t>(value, 0)); };
  if (WavType_ == wtPCM || WavType_ == wtExtPCM) {
    if (appending_) Write32At(existing_.dataSizeOffset, size32(fileSize - existing_.dataOffset));
    else Write32At(headerBytes_ - 4, size32(fileSize - headerBytes_));
  } else if (WavType_ == wtDVIADPCM) {
    const int64_t dataOffset = appending_ ? existing_.dataOffset : 60;
    const uint32_t dataSize = size32(fileSize - dataOffset);
    Write32At(appending_ ? existing_.dataSizeOffset : 56, dataSize);
    const int channels = appending_ ? existing_.channels : channels_;
    const uint32_t blocks = dataSize / BlockSize_;
    if (appending_) {
      if (existing_.factOffset >= 0) Write32At(existing_.factOffset, static_cast<uint32_t>(SamplesPerBlock(channels)) * blocks);
    } else {
      // The real count: the last block is filled up with silence.
      Write32At(48, static_cast<uint32_t>(samplesWritten_));
    }
  }
  Write32At(4, size32(fileSize - 8));
}

void TWaveOut::CheckRoomFor(int64_t bytes) {
  // RIFF sizes are 32 bits: a larger file would wrap them into nonsense.
  if (!rf64_ && Stream->Position() + bytes > kMaxWavBytes)
    throw EAuException("The result would be larger than the 4 GiB a WAV file can hold");
}

EAuException TWaveOut::WriteError() const { return EAuException(WithErrno("Error writing wave file", errno)); }

void TWaveOut::Done() {
  // The header tells what was written, never more: a short input is not padded.
  try {
    if (Stream) PatchHeader();
  } catch (...) {
    Stream.reset();
    Input_->Flush();
    throw;
  }
  Stream.reset();
  Input_->Flush();
  // An appended file's samples ended it (see Prepare): the tags go after them.
  if (!rf64_) WriteTags();
}

void TWaveOut::WriteTags() {
  const media::TagSet tags = ResultTags(SourceTags(), Pictures(), Id3v2Tags());
  bool any = !tags.pictures.empty();
  for (const auto& field : tags.fields) any = any || !field.second.empty();
  if (!any) return;
  try {
    media::WriteTags(FileName_, media::TagContainer::Wav, tags);
  } catch (const std::runtime_error& e) {
    ThrowKeepingKind(e, "Error writing wave file: ");
  }
}
