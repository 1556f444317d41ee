#include "platform/PcmConverter.h"

#include <algorithm>
#include <cstring>

#include "Ffmpeg.h"

namespace media {

void PcmConverter::Reset() {
  if (!FfmpegLoaded()) return;  // nothing was allocated
  Ffmpeg().swr_free(&resampler_);
  Ffmpeg().av_channel_layout_uninit(&inputLayout_);
  inputFormat_ = -1;
}

void PcmConverter::Append(const AVFrame* frame, int skip, int channels, int bits, int rate,
                            std::vector<uint8_t>& out, bool floating) {
  if (floating) bits = 32;
  // A damaged stream can change its layout or rate from one frame to the next.
  const bool sameInput = resampler_ && inputFormat_ == frame->format && inputRate_ == frame->sample_rate &&
                         Ffmpeg().av_channel_layout_compare(&inputLayout_, &frame->ch_layout) == 0 &&
                         outputChannels_ == channels && outputBits_ == bits && outputRate_ == rate &&
                         outputFloat_ == floating;
  if (!sameInput) {
    Reset();
    inputFormat_ = frame->format;
    inputRate_ = frame->sample_rate;
    Ffmpeg().av_channel_layout_copy(&inputLayout_, &frame->ch_layout);
    outputChannels_ = channels;
    outputBits_ = bits;
    outputRate_ = rate;
    outputFloat_ = floating;
    AVChannelLayout layout;
    Ffmpeg().av_channel_layout_default(&layout, channels);
    const AVSampleFormat format = floating ? AV_SAMPLE_FMT_FLT : bits == 16 ? AV_SAMPLE_FMT_S16 : AV_SAMPLE_FMT_S32;
    if (Ffmpeg().swr_alloc_set_opts2(&resampler_, &layout, format, rate, &inputLayout_,
                                     static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0, nullptr) < 0 ||
        Ffmpeg().swr_init(resampler_) < 0) {
      Ffmpeg().swr_free(&resampler_);
      return;
    }
  }
  const int samples = frame->nb_samples - skip;
  const int bytesPerSample = bits == 16 ? 2 : 4;
  converted_.resize(std::max(converted_.size(), static_cast<size_t>(samples + 32) * channels * bytesPerSample));
  uint8_t* outPlanes[1] = {converted_.data()};
  // Skipped samples are left out by pointing past them in every plane.
  const auto sourceFormat = static_cast<AVSampleFormat>(frame->format);
  const int planes = Ffmpeg().av_sample_fmt_is_planar(sourceFormat) ? frame->ch_layout.nb_channels : 1;
  const int sourceBytes = Ffmpeg().av_get_bytes_per_sample(sourceFormat);
  const int offset = skip * sourceBytes * (planes == 1 ? frame->ch_layout.nb_channels : 1);
  std::vector<const uint8_t*> inPlanes(static_cast<size_t>(planes));
  for (int p = 0; p < planes; ++p) inPlanes[static_cast<size_t>(p)] = frame->extended_data[p] + offset;
  const int made = Ffmpeg().swr_convert(resampler_, outPlanes, samples + 32, inPlanes.data(), samples);
  if (made <= 0) return;
  if (bits == 24) {
    // 32-bit samples to packed 24-bit: keep the upper three bytes.
    const size_t values = static_cast<size_t>(made) * channels;
    const size_t at = out.size();
    out.resize(at + values * 3);
    for (size_t i = 0; i < values; ++i) std::memcpy(&out[at + i * 3], &converted_[i * 4 + 1], 3);
  } else {
    out.insert(out.end(), converted_.begin(), converted_.begin() + static_cast<std::ptrdiff_t>(made) * channels * bytesPerSample);
  }
}

}  // namespace media
