#include "platform/FrameQueue.h"
#include "platform/Error.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "Ffmpeg.h"

namespace media {

FrameQueue::FrameQueue(const PcmLayout& input, const AVCodecContext& encoder) : input_(input), encoder_(encoder) {
  const bool pcm = input.channels >= 1 && input.channels <= 8 && input.rate > 0 &&
                   (input.bits == 8 || input.bits == 16 || input.bits == 24 || input.bits == 32);
  if (!pcm) throw Error(ErrorKind::Failed, "the encoder takes no PCM of this layout");
  AVChannelLayout inLayout, outLayout;
  Ffmpeg().av_channel_layout_default(&inLayout, input.channels);
  Ffmpeg().av_channel_layout_default(&outLayout, encoder.ch_layout.nb_channels);
  const AVSampleFormat inFormat = input.bits == 8    ? AV_SAMPLE_FMT_U8
                                  : input.bits == 16 ? AV_SAMPLE_FMT_S16
                                                     : AV_SAMPLE_FMT_S32;  // 24-bit is widened first
  if (Ffmpeg().swr_alloc_set_opts2(&resampler_, &outLayout, encoder.sample_fmt, encoder.sample_rate, &inLayout,
                                   inFormat, input.rate, 0, nullptr) < 0 ||
      Ffmpeg().swr_init(resampler_) < 0) {
    Ffmpeg().swr_free(&resampler_);
    throw Error(ErrorKind::Failed, "the encoder's sample format cannot be made from this PCM");
  }
  fifo_ = Ffmpeg().av_audio_fifo_alloc(encoder.sample_fmt, encoder.ch_layout.nb_channels, std::max(encoder.frame_size, 1024) * 4);
  if (fifo_ == nullptr) {
    Ffmpeg().swr_free(&resampler_);
    throw Error(ErrorKind::Failed, "Out of memory");
  }
}

FrameQueue::~FrameQueue() {
  if (!FfmpegLoaded()) return;  // nothing was allocated
  Ffmpeg().swr_free(&resampler_);
  Ffmpeg().av_audio_fifo_free(fifo_);
}

int FrameQueue::Size() const { return Ffmpeg().av_audio_fifo_size(fifo_); }

bool FrameQueue::Add(const uint8_t* pcm, int frames) {
  const uint8_t* source = pcm;
  if (pcm != nullptr && input_.bits == 24) {
    // Packed 24-bit to 32-bit, the value in the high bytes: the resampler has no packed 24-bit format.
    const size_t samples = static_cast<size_t>(frames) * input_.channels;
    widened_.resize(samples * 4);
    for (size_t i = 0; i < samples; ++i) {
      widened_[i * 4] = 0;
      std::memcpy(&widened_[i * 4 + 1], pcm + i * 3, 3);
    }
    source = widened_.data();
  }
  const int room = Ffmpeg().swr_get_out_samples(resampler_, pcm ? frames : 0);
  if (room <= 0) return room == 0;
  if (Ffmpeg().av_audio_fifo_realloc(fifo_, Size() + room) < 0) return false;
  // One buffer kept from call to call, a plane per channel when the format is planar.
  const int channels = encoder_.ch_layout.nb_channels;
  const bool planar = Ffmpeg().av_sample_fmt_is_planar(encoder_.sample_fmt) != 0;
  const size_t planeBytes =
      static_cast<size_t>(room) * Ffmpeg().av_get_bytes_per_sample(encoder_.sample_fmt) * (planar ? 1 : channels);
  const int planes = planar ? channels : 1;
  converted_.resize(std::max(converted_.size(), planeBytes * planes));
  uint8_t* out[8];
  for (int p = 0; p < planes; ++p) out[p] = converted_.data() + p * planeBytes;
  const uint8_t* in[1] = {source};
  const int made = Ffmpeg().swr_convert(resampler_, out, room, source ? in : nullptr, source ? frames : 0);
  if (made < 0) return false;
  return Ffmpeg().av_audio_fifo_write(fifo_, reinterpret_cast<void**>(out), made) == made;
}

bool FrameQueue::AddSilence(int frames) {
  if (frames <= 0) return true;
  // Zero bytes are silence in every format the encoders take (none is unsigned 8-bit).
  const int channels = encoder_.ch_layout.nb_channels;
  const bool planar = Ffmpeg().av_sample_fmt_is_planar(encoder_.sample_fmt) != 0;
  const size_t planeBytes =
      static_cast<size_t>(frames) * Ffmpeg().av_get_bytes_per_sample(encoder_.sample_fmt) * (planar ? 1 : channels);
  std::vector<uint8_t> silence(planeBytes * (planar ? channels : 1), 0);
  void* pointers[8];
  for (int p = 0; p < (planar ? channels : 1); ++p) pointers[p] = silence.data() + p * planeBytes;
  return Ffmpeg().av_audio_fifo_write(fifo_, pointers, frames) == frames;
}

bool FrameQueue::Take(AVFrame& frame, int frames) {
  if (frame.buf[0] == nullptr || frame.nb_samples != frames) {
    Ffmpeg().av_frame_unref(&frame);
    frame.nb_samples = frames;
    frame.format = encoder_.sample_fmt;
    frame.sample_rate = encoder_.sample_rate;
    if (Ffmpeg().av_channel_layout_copy(&frame.ch_layout, &encoder_.ch_layout) < 0) return false;
    if (Ffmpeg().av_frame_get_buffer(&frame, 0) < 0) return false;
  }
  // The buffer is used again unless the encoder still holds it.
  if (Ffmpeg().av_frame_make_writable(&frame) < 0) return false;
  return Ffmpeg().av_audio_fifo_read(fifo_, reinterpret_cast<void**>(frame.extended_data), frames) == frames;
}

}  // namespace media
