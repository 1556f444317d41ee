#include "platform/RateConverter.h"
#include "platform/Error.h"

#include <stdexcept>

#include "Ffmpeg.h"

RateConverter::RateConverter(int channels, int fromRate, int toRate) : channels_(channels) {
  AVChannelLayout layout;
  Ffmpeg().av_channel_layout_default(&layout, channels);
  if (Ffmpeg().swr_alloc_set_opts2(&context_, &layout, AV_SAMPLE_FMT_FLT, toRate, &layout, AV_SAMPLE_FMT_FLT, fromRate, 0,
                                   nullptr) < 0 ||
      Ffmpeg().swr_init(context_) < 0) {
    Ffmpeg().swr_free(&context_);
    throw Error(ErrorKind::Failed, "Cannot convert " + std::to_string(fromRate) + " Hz to " + std::to_string(toRate) + " Hz");
  }
}

RateConverter::~RateConverter() {
  if (FfmpegLoaded()) Ffmpeg().swr_free(&context_);  // else nothing was allocated
}

void RateConverter::Convert(const float* in, int frames, std::vector<float>& out) {
  const int room = Ffmpeg().swr_get_out_samples(context_, frames);
  if (room <= 0) return;
  const size_t start = out.size();
  out.resize(start + static_cast<size_t>(room) * channels_);
  auto* dest = reinterpret_cast<uint8_t*>(out.data() + start);
  const auto* source = reinterpret_cast<const uint8_t*>(in);
  const int made = Ffmpeg().swr_convert(context_, &dest, room, in ? &source : nullptr, in ? frames : 0);
  if (made < 0) throw Error(ErrorKind::Failed, "The sample rate conversion failed");
  out.resize(start + static_cast<size_t>(made) * channels_);
}
