#include "tests/support/FfmpegDecode.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <stdexcept>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
#include <libavutil/log.h>
}

std::vector<int16_t> DecodeWithFfmpeg(const std::string& fileName) {
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, fileName.c_str(), nullptr, nullptr) < 0) throw std::runtime_error("cannot open");
  avformat_find_stream_info(format, nullptr);
  const int index = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  const AVCodec* codec = avcodec_find_decoder(format->streams[index]->codecpar->codec_id);
  AVCodecContext* decoder = avcodec_alloc_context3(codec);
  avcodec_parameters_to_context(decoder, format->streams[index]->codecpar);
  avcodec_open2(decoder, codec, nullptr);
  SwrContext* swr = nullptr;
  swr_alloc_set_opts2(&swr, &decoder->ch_layout, AV_SAMPLE_FMT_S16, decoder->sample_rate, &decoder->ch_layout,
                      decoder->sample_fmt, decoder->sample_rate, 0, nullptr);
  swr_init(swr);
  std::vector<int16_t> out;
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  auto drain = [&] {
    while (avcodec_receive_frame(decoder, frame) == 0) {
      std::vector<int16_t> block(static_cast<size_t>(frame->nb_samples + 64) * decoder->ch_layout.nb_channels);
      uint8_t* planes[1] = {reinterpret_cast<uint8_t*>(block.data())};
      const int made = swr_convert(swr, planes, frame->nb_samples + 64, const_cast<const uint8_t**>(frame->extended_data),
                                   frame->nb_samples);
      if (made > 0) out.insert(out.end(), block.begin(), block.begin() + made * decoder->ch_layout.nb_channels);
    }
  };
  while (av_read_frame(format, packet) == 0) {
    if (packet->stream_index == index && avcodec_send_packet(decoder, packet) == 0) drain();
    av_packet_unref(packet);
  }
  avcodec_send_packet(decoder, nullptr);
  drain();
  av_frame_free(&frame);
  av_packet_free(&packet);
  swr_free(&swr);
  avcodec_free_context(&decoder);
  avformat_close_input(&format);
  return out;
}

int64_t StreamDurationSamples(const std::string& fileName) {
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, fileName.c_str(), nullptr, nullptr) < 0) throw std::runtime_error("cannot open");
  avformat_find_stream_info(format, nullptr);
  const int index = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  const AVStream* stream = format->streams[index];
  const int64_t samples = av_rescale_q(stream->duration, stream->time_base, AVRational{1, stream->codecpar->sample_rate});
  avformat_close_input(&format);
  return samples;
}

namespace {

std::mutex warningsLock;
std::vector<std::string>* warningsHeard = nullptr;

void HearWarning(void*, int level, const char* format, va_list arguments) {
  if (level > AV_LOG_ERROR) return;
  char text[1024];
  std::vsnprintf(text, sizeof text, format, arguments);
  if (warningsHeard) warningsHeard->push_back(text);
}

}  // namespace

std::vector<std::string> FfmpegErrors(const std::string& fileName) {
  std::lock_guard hold(warningsLock);
  std::vector<std::string> heard;
  warningsHeard = &heard;
  av_log_set_level(AV_LOG_ERROR);
  av_log_set_callback(HearWarning);
  DecodeWithFfmpeg(fileName);
  av_log_set_callback(av_log_default_callback);
  av_log_set_level(AV_LOG_QUIET);
  warningsHeard = nullptr;
  return heard;
}
