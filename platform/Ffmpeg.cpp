#include "Ffmpeg.h"
#include "platform/Error.h"
#include "platform/SharedLibrary.h"

#include <atomic>
#include <stdexcept>
#include <string>

namespace {

#define CLIPWRIGHT_STRING(x) #x
#define CLIPWRIGHT_SONAME(library, major) "lib" library ".so." CLIPWRIGHT_STRING(major)

// The shared objects of the versions compiled against, in dependency order.
constexpr const char* kLibraries[] = {
    CLIPWRIGHT_SONAME("avutil", LIBAVUTIL_VERSION_MAJOR),
    CLIPWRIGHT_SONAME("swresample", LIBSWRESAMPLE_VERSION_MAJOR),
    CLIPWRIGHT_SONAME("avcodec", LIBAVCODEC_VERSION_MAJOR),
    CLIPWRIGHT_SONAME("avformat", LIBAVFORMAT_VERSION_MAJOR),
};
constexpr int kLibraryCount = sizeof kLibraries / sizeof kLibraries[0];
constexpr const char* kOverrides[kLibraryCount] = {"CLIPWRIGHT_AVUTIL_LIBRARY", "CLIPWRIGHT_SWRESAMPLE_LIBRARY",
                                                   "CLIPWRIGHT_AVCODEC_LIBRARY", "CLIPWRIGHT_AVFORMAT_LIBRARY"};

template <typename Pointer>
void Resolve(void* const (&handles)[kLibraryCount], Pointer& pointer, const char* name) {
  for (void* handle : handles)
    if (ResolveSymbol(handle, pointer, name)) return;
  throw Error(ErrorKind::MissingLibrary, std::string("FFmpeg function ") + name + " is missing from the installed libraries");
}

FfmpegApi Load() {
  void* handles[kLibraryCount] = {};
  for (int i = 0; i < kLibraryCount; ++i) {
    // Kept loaded for the life of the process.
    // CLIPWRIGHT_AVCODEC_LIBRARY and the like name another file (tests ask for a missing one).
    handles[i] = LoadSharedLibrary(kLibraries[i], kOverrides[i], RTLD_NOW | RTLD_GLOBAL);
    if (!handles[i])
      throw Error(ErrorKind::MissingLibrary, std::string("FFmpeg library ") + kLibraries[i] + " cannot be loaded: " + dlerror());
  }
  FfmpegApi api;
#define CLIPWRIGHT_FFMPEG_RESOLVE(name) Resolve(handles, api.name, #name);
  CLIPWRIGHT_FFMPEG_FUNCTIONS(CLIPWRIGHT_FFMPEG_RESOLVE)
#undef CLIPWRIGHT_FFMPEG_RESOLVE
  // The library's own log lines would reach the user's terminal beside our
  // messages; every failure is reported by us, with the file it concerns.
  api.av_log_set_level(AV_LOG_QUIET);
  return api;
}

}  // namespace

namespace {
std::atomic<bool> loaded{false};
}  // namespace

const FfmpegApi& Ffmpeg() {
  // A failed load throws out of the initialiser, so the next call tries again.
  static const FfmpegApi api = [] {
    FfmpegApi made = Load();
    loaded = true;
    return made;
  }();
  return api;
}

bool FfmpegLoaded() { return loaded; }

std::string AvErrorText(int code) {
  if (code < 0 && code > -4096) return ErrnoText(-code);  // AVERROR(e) is -e
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  Ffmpeg().av_strerror(code, text, sizeof text);
  return text;
}
