#include "platform/media_probe.h"

#include "Ffmpeg.h"

std::optional<int64_t> MediaLengthSeconds(const std::string& fileName) {
  // A probe of a damaged file is expected to fail; the library need not say so.
  Ffmpeg().av_log_set_level(AV_LOG_QUIET);
  AVFormatContext* context = nullptr;
  if (Ffmpeg().avformat_open_input(&context, fileName.c_str(), nullptr, nullptr) < 0) return std::nullopt;
  std::optional<int64_t> seconds;
  if (Ffmpeg().avformat_find_stream_info(context, nullptr) >= 0 && context->duration != AV_NOPTS_VALUE &&
      context->duration > 0)
    seconds = context->duration / AV_TIME_BASE;
  Ffmpeg().avformat_close_input(&context);
  return seconds;
}
