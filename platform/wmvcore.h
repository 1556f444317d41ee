#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/msacm.h"

/// The Windows Media reader calls the MP3 and WMA inputs make, over
/// libavformat, libavcodec and libswresample. Results are 0 on success,
/// anything else a failure, as the callers test them.
namespace wm {

inline constexpr int32_t S_OK = 0;
inline constexpr int32_t E_FAIL = static_cast<int32_t>(0x80004005);
inline constexpr int32_t NS_E_NO_MORE_SAMPLES = static_cast<int32_t>(0xC00D0BCF);
inline constexpr int32_t NS_E_PROTECTED_CONTENT = static_cast<int32_t>(0xC00D0BBD);
inline constexpr int32_t ASF_E_NOTFOUND = static_cast<int32_t>(0xC00D07F0);

enum class Origin { Begin = 0, Current = 1, End = 2 };

/// The byte source the reader reads: a COM-style stream.
class IStream {
 public:
  virtual ~IStream() = default;
  /// 0 when at least one byte was read.
  virtual int32_t Read(void* buffer, uint32_t count, uint32_t* read) = 0;
  virtual int32_t Seek(int64_t offset, Origin origin, uint64_t* newPosition) = 0;
  /// The stream's size in bytes.
  virtual int32_t Stat(uint64_t* size) = 0;
  /// What tells this file's bytes from any other's while it is unchanged
  /// (device, inode, size, change time); empty when unknown.
  virtual std::string Identity() { return {}; }
};

enum class MajorType { Audio, Other };

/// An output's media type: audio ones carry a wave format.
struct MediaType {
  MajorType major = MajorType::Other;
  bool isWaveFormatEx = false;
  WaveFormatEx format{};
};

/// An audio media type of interleaved integer PCM.
MediaType PcmMediaType(int channels, int rate, int bits);

enum class AttrType { Dword, Qword, String, Bool };

/// One decoded block of PCM.
class INSSBuffer {
 public:
  virtual ~INSSBuffer() = default;
  virtual int32_t GetBufferAndLength(uint8_t** buffer, uint32_t* length) = 0;
};

/// Attributes of the opened file (stream 0 for the whole file).
class IWMHeaderInfo {
 public:
  virtual ~IWMHeaderInfo() = default;
  /// With `value` null, only `length` (bytes) is told. Names: "Duration"
  /// (QWORD, 100 ns), "Bitrate" (DWORD, bits per second), "IsVBR" (BOOL),
  /// and the texts "Author", "Title", "WM/AlbumTitle", "WM/Genre",
  /// "WM/Track", "WM/Year", "Copyright", "Description" (UTF-16 with a terminating NUL).
  virtual int32_t GetAttributeByName(uint16_t* stream, const std::u16string& name, AttrType* type, uint8_t* value,
                                     uint16_t* length) = 0;
};

/// The synchronous reader.
class IWMSyncReader {
 public:
  virtual ~IWMSyncReader() = default;
  /// Reads from the stream's current position on.
  virtual int32_t OpenStream(std::shared_ptr<IStream> stream) = 0;
  virtual int32_t GetOutputCount(uint32_t* count) = 0;
  /// The output's current media type.
  virtual int32_t GetOutputProps(uint32_t output, MediaType* type) = 0;
  virtual int32_t GetOutputFormatCount(uint32_t output, uint32_t* count) = 0;
  virtual int32_t GetOutputFormat(uint32_t output, uint32_t index, MediaType* type) = 0;
  /// "EnableDiscreteOutput" (BOOL: offer 24 and 32 bits) and "SpeakerConfig" (DWORD).
  virtual int32_t SetOutputSetting(uint32_t output, const std::u16string& name, AttrType type, const uint8_t* value,
                                   uint16_t length) = 0;
  virtual int32_t SetOutputProps(uint32_t output, const MediaType& type) = 0;
  virtual int32_t GetStreamNumberForOutput(uint32_t output, uint16_t* stream) = 0;
  virtual int32_t SetReadStreamSamples(uint16_t stream, bool compressed) = 0;
  /// The next block of PCM; NS_E_NO_MORE_SAMPLES at the end.
  virtual int32_t GetNextSample(uint16_t stream, std::shared_ptr<INSSBuffer>* sample) = 0;
  /// The next sample starts exactly at `start` (100 ns units).
  virtual int32_t SetRange(uint64_t start, int64_t duration) = 0;
  virtual int32_t Close() = 0;
  /// The header info, available once an audio output format was set.
  virtual std::shared_ptr<IWMHeaderInfo> HeaderInfo() = 0;
};

/// The library is part of the program: loading only marks it loaded.
void LoadWMLibrary();
void UnloadWMLibrary();
bool WMLibraryLoaded();
int32_t WMCreateSyncReader(void* certificate, uint32_t rights, std::shared_ptr<IWMSyncReader>* reader);

}  // namespace wm
