#include "platform/lame_enc.h"

#include "platform/Id3v2Header.h"

#include <lame/lame.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <vector>

#include "platform/SharedLibrary.h"

namespace {

/// The libmp3lame calls the entry points make, resolved from the loaded library.
struct Lame {
#define LAME_CALL(name) decltype(&::name) name = nullptr;
  LAME_CALL(lame_init)
  LAME_CALL(lame_close)
  LAME_CALL(lame_set_in_samplerate)
  LAME_CALL(lame_set_out_samplerate)
  LAME_CALL(lame_set_num_channels)
  LAME_CALL(lame_set_mode)
  LAME_CALL(lame_set_brate)
  LAME_CALL(lame_set_VBR)
  LAME_CALL(lame_set_VBR_q)
  LAME_CALL(lame_set_VBR_mean_bitrate_kbps)
  LAME_CALL(lame_set_VBR_min_bitrate_kbps)
  LAME_CALL(lame_set_VBR_max_bitrate_kbps)
  LAME_CALL(lame_set_extension)
  LAME_CALL(lame_set_error_protection)
  LAME_CALL(lame_set_copyright)
  LAME_CALL(lame_set_original)
  LAME_CALL(lame_set_bWriteVbrTag)
  LAME_CALL(lame_set_disable_reservoir)
  LAME_CALL(lame_set_strict_ISO)
  LAME_CALL(lame_set_quality)
  LAME_CALL(lame_init_params)
  LAME_CALL(lame_encode_buffer)
  LAME_CALL(lame_encode_buffer_interleaved)
  LAME_CALL(lame_encode_flush)
  LAME_CALL(lame_encode_flush_nogap)
  LAME_CALL(lame_get_lametag_frame)
#undef LAME_CALL
};

Lame lame;
bool loaded = false;
std::once_flag loading;

void LoadOnce() {
  void* library = LoadSharedLibrary("libmp3lame.so.0", "CLIPWRIGHT_LAME_LIBRARY");
  if (library == nullptr) return;
  bool all = true;
  auto resolve = [&](auto& pointer, const char* symbol) { all = ResolveSymbol(library, pointer, symbol) && all; };
#define RESOLVE(name) resolve(lame.name, #name);
  RESOLVE(lame_init) RESOLVE(lame_close) RESOLVE(lame_set_in_samplerate) RESOLVE(lame_set_out_samplerate)
  RESOLVE(lame_set_num_channels) RESOLVE(lame_set_mode) RESOLVE(lame_set_brate) RESOLVE(lame_set_VBR)
  RESOLVE(lame_set_VBR_q) RESOLVE(lame_set_VBR_mean_bitrate_kbps) RESOLVE(lame_set_VBR_min_bitrate_kbps)
  RESOLVE(lame_set_VBR_max_bitrate_kbps) RESOLVE(lame_set_extension) RESOLVE(lame_set_error_protection)
  RESOLVE(lame_set_copyright) RESOLVE(lame_set_original) RESOLVE(lame_set_bWriteVbrTag)
  RESOLVE(lame_set_disable_reservoir) RESOLVE(lame_set_strict_ISO) RESOLVE(lame_set_quality)
  RESOLVE(lame_init_params) RESOLVE(lame_encode_buffer) RESOLVE(lame_encode_buffer_interleaved)
  RESOLVE(lame_encode_flush) RESOLVE(lame_encode_flush_nogap) RESOLVE(lame_get_lametag_frame)
#undef RESOLVE
  if (!all) {
    ::dlclose(library);
    lame = Lame{};
    return;
  }
  loaded = true;
}

struct Stream {
  lame_t flags = nullptr;
  int channels = 0;
  bool writeTag = false;
};

std::mutex streamsMutex;
std::set<Stream*> streams;  // guarded by streamsMutex

/// The stream whose Xing/LAME frame beWriteVBRHeader writes next; one that
/// never gets written is freed with the next one, or when its thread ends.
struct PendingTag {
  lame_t flags = nullptr;
  ~PendingTag() { Set(nullptr); }
  void Set(lame_t next) {
    if (flags != nullptr) lame.lame_close(flags);
    flags = next;
  }
};
thread_local PendingTag closedWithTag;

Stream* Find(HBE_STREAM handle) {
  std::lock_guard lock(streamsMutex);
  auto* stream = reinterpret_cast<Stream*>(handle);
  return streams.contains(stream) ? stream : nullptr;
}

/// The Blade mode as LAME's; LAME has no dual-channel mode of its own.
MPEG_mode ModeOf(int32_t mode) {
  switch (mode) {
    case BE_MP3_MODE_JSTEREO: return JOINT_STEREO;
    case BE_MP3_MODE_MONO: return MONO;
    default: return STEREO;
  }
}

bool Configure(lame_t flags, const BE_CONFIG& c) {
  const bool mono = c.nMode == BE_MP3_MODE_MONO;
  lame.lame_set_in_samplerate(flags, static_cast<int>(c.dwSampleRate));
  if (c.dwReSampleRate != 0) lame.lame_set_out_samplerate(flags, static_cast<int>(c.dwReSampleRate));
  lame.lame_set_num_channels(flags, mono ? 1 : 2);
  lame.lame_set_mode(flags, ModeOf(c.nMode));
  lame.lame_set_extension(flags, c.bPrivate != 0);
  lame.lame_set_error_protection(flags, c.bCRC != 0);
  lame.lame_set_copyright(flags, c.bCopyright != 0);
  lame.lame_set_original(flags, c.bOriginal != 0);
  lame.lame_set_bWriteVbrTag(flags, c.bWriteVBRHeader != 0);
  lame.lame_set_disable_reservoir(flags, c.bNoRes != 0);
  lame.lame_set_strict_ISO(flags, c.bStrictIso != 0);
  // Only a quality whose high byte is the complement of its low byte counts.
  if ((c.nQuality >> 8) == (~c.nQuality & 0xFF)) lame.lame_set_quality(flags, c.nQuality & 0xFF);
  if (c.bEnableVBR == 0) {
    if (c.dwBitrate != 0) lame.lame_set_brate(flags, static_cast<int>(c.dwBitrate));
    return true;
  }
  if (c.nVbrMethod == VBR_METHOD_ABR) {
    const uint32_t bps = c.dwVbrAbr_bps;
    lame.lame_set_VBR(flags, vbr_abr);
    lame.lame_set_VBR_mean_bitrate_kbps(flags, static_cast<int>(bps < 1000 ? bps : (bps + 500) / 1000));
  } else {
    lame.lame_set_VBR(flags, c.nVbrMethod == VBR_METHOD_OLD ? vbr_rh : vbr_mtrh);
    lame.lame_set_VBR_q(flags, c.nVBRQuality);
  }
  if (c.dwBitrate != 0) lame.lame_set_VBR_min_bitrate_kbps(flags, static_cast<int>(c.dwBitrate));
  if (c.dwMaxBitrate != 0) lame.lame_set_VBR_max_bitrate_kbps(flags, static_cast<int>(c.dwMaxBitrate));
  return true;
}

constexpr uint32_t kFramesPerChunk = 1152;

}  // namespace

namespace lame_enc {

bool Load() {
  std::call_once(loading, LoadOnce);
  return loaded;
}

}  // namespace lame_enc

BE_ERR beInitStream(BE_CONFIG* config, uint32_t* dwSamples, uint32_t* dwBufferSize, HBE_STREAM* handle) {
  if (!lame_enc::Load()) return BE_ERR_INVALID_HANDLE;
  if (config == nullptr || dwSamples == nullptr || dwBufferSize == nullptr || handle == nullptr)
    return BE_ERR_INVALID_FORMAT_PARAMETERS;
  if (config->dwConfig != BE_CONFIG_LAME) return BE_ERR_INVALID_FORMAT;
  lame_t flags = lame.lame_init();
  if (flags == nullptr) return BE_ERR_NO_MORE_HANDLES;
  if (!Configure(flags, *config) || lame.lame_init_params(flags) < 0) {
    lame.lame_close(flags);
    return BE_ERR_INVALID_FORMAT_PARAMETERS;
  }
  auto* stream = new Stream{flags, config->nMode == BE_MP3_MODE_MONO ? 1 : 2, config->bWriteVBRHeader != 0};
  {
    std::lock_guard lock(streamsMutex);
    streams.insert(stream);
  }
  *dwSamples = kFramesPerChunk * static_cast<uint32_t>(stream->channels);
  *dwBufferSize = kFramesPerChunk * 5 / 4 + 7200;  // what LAME asks for the worst case
  *handle = reinterpret_cast<HBE_STREAM>(stream);
  return BE_ERR_SUCCESSFUL;
}

BE_ERR beEncodeChunk(HBE_STREAM handle, uint32_t nSamples, const int16_t* samples, uint8_t* output, uint32_t* produced) {
  Stream* stream = Find(handle);
  if (stream == nullptr) return BE_ERR_INVALID_HANDLE;
  const int frames = static_cast<int>(nSamples / static_cast<uint32_t>(stream->channels));
  if (frames > static_cast<int>(kFramesPerChunk)) return BE_ERR_BUFFER_TOO_SMALL;
  const int size = static_cast<int>(kFramesPerChunk * 5 / 4 + 7200);
  auto* pcm = const_cast<int16_t*>(samples);
  const int made = stream->channels == 1
                       ? lame.lame_encode_buffer(stream->flags, pcm, pcm, frames, output, size)
                       : lame.lame_encode_buffer_interleaved(stream->flags, pcm, frames, output, size);
  if (made < 0) return made == -1 ? BE_ERR_BUFFER_TOO_SMALL : BE_ERR_INVALID_FORMAT_PARAMETERS;
  *produced = static_cast<uint32_t>(made);
  return BE_ERR_SUCCESSFUL;
}

BE_ERR beDeinitStream(HBE_STREAM handle, uint8_t* output, uint32_t* produced) {
  Stream* stream = Find(handle);
  if (stream == nullptr) return BE_ERR_INVALID_HANDLE;
  const int made = lame.lame_encode_flush(stream->flags, output, static_cast<int>(kFramesPerChunk * 5 / 4 + 7200));
  if (made < 0) return BE_ERR_BUFFER_TOO_SMALL;
  *produced = static_cast<uint32_t>(made);
  return BE_ERR_SUCCESSFUL;
}

BE_ERR beFlushNoGap(HBE_STREAM handle, uint8_t* output, uint32_t* produced) {
  Stream* stream = Find(handle);
  if (stream == nullptr) return BE_ERR_INVALID_HANDLE;
  const int made = lame.lame_encode_flush_nogap(stream->flags, output, static_cast<int>(kFramesPerChunk * 5 / 4 + 7200));
  if (made < 0) return BE_ERR_BUFFER_TOO_SMALL;
  *produced = static_cast<uint32_t>(made);
  return BE_ERR_SUCCESSFUL;
}

BE_ERR beCloseStream(HBE_STREAM handle) {
  Stream* stream = Find(handle);
  if (stream == nullptr) return BE_ERR_INVALID_HANDLE;
  {
    std::lock_guard lock(streamsMutex);
    streams.erase(stream);
  }
  if (stream->writeTag) {
    closedWithTag.Set(stream->flags);
  } else {
    lame.lame_close(stream->flags);
  }
  delete stream;
  return BE_ERR_SUCCESSFUL;
}

namespace {

/// Writes the LAME frame of `flags` over the first frame of the file.
BE_ERR WriteTagFrame(lame_t flags, const char* fileName) {
  const size_t size = lame.lame_get_lametag_frame(flags, nullptr, 0);
  if (size == 0) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  std::vector<uint8_t> frame(size);
  if (lame.lame_get_lametag_frame(flags, frame.data(), frame.size()) != size) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  FILE* file = std::fopen(fileName, "r+b");
  if (file == nullptr) return BE_ERR_INVALID_HANDLE;
  long at = 0;
  uint8_t head[10];
  if (std::fread(head, 1, 10, file) == 10) {
    if (const auto tag = ParseId3v2Header(head)) at = static_cast<long>(tag->wholeSize);
  }
  const bool written = std::fseek(file, at, SEEK_SET) == 0 && std::fwrite(frame.data(), 1, size, file) == size;
  const bool closed = std::fclose(file) == 0;
  return written && closed ? BE_ERR_SUCCESSFUL : BE_ERR_INVALID_HANDLE;
}

}  // namespace

BE_ERR beWriteVBRHeader(const char* fileName) {
  if (closedWithTag.flags == nullptr || fileName == nullptr) return BE_ERR_INVALID_HANDLE;
  const BE_ERR result = WriteTagFrame(closedWithTag.flags, fileName);
  closedWithTag.Set(nullptr);
  return result;
}

BE_ERR beWriteInfoTag(HBE_STREAM handle, const char* fileName) {
  Stream* stream = Find(handle);
  if (stream == nullptr) return BE_ERR_INVALID_HANDLE;
  const BE_ERR result = fileName != nullptr ? WriteTagFrame(stream->flags, fileName) : BE_ERR_SUCCESSFUL;
  {
    std::lock_guard lock(streamsMutex);
    streams.erase(stream);
  }
  lame.lame_close(stream->flags);
  delete stream;
  return result;
}
