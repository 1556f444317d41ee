#include "tests/support/WmaEncoder.h"

#include <stdexcept>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}

namespace {

void Check(int result, const char* what) {
  if (result < 0) throw std::runtime_error(std::string("WMA test file: ") + what);
}

void WritePackets(AVCodecContext* codec, AVFormatContext* format, AVStream* stream, AVFrame* frame) {
  Check(avcodec_send_frame(codec, frame), "encode");
  AVPacket* packet = av_packet_alloc();
  while (avcodec_receive_packet(codec, packet) == 0) {
    av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
    packet->stream_index = stream->index;
    Check(av_interleaved_write_frame(format, packet), "write");
  }
  av_packet_free(&packet);
}

}  // namespace

void WriteWma(const std::string& fileName, const std::vector<int16_t>& samples, int channels, int sampleRate,
              int bitRate, const std::map<std::string, std::string>& attributes) {
  AVFormatContext* format = nullptr;
  Check(avformat_alloc_output_context2(&format, nullptr, "asf", fileName.c_str()), "container");
  for (const auto& [name, value] : attributes) av_dict_set(&format->metadata, name.c_str(), value.c_str(), 0);
  const AVCodec* encoder = avcodec_find_encoder(AV_CODEC_ID_WMAV2);
  AVStream* stream = avformat_new_stream(format, nullptr);
  AVCodecContext* codec = avcodec_alloc_context3(encoder);
  codec->sample_fmt = AV_SAMPLE_FMT_FLTP;
  codec->sample_rate = sampleRate;
  av_channel_layout_default(&codec->ch_layout, channels);
  codec->bit_rate = bitRate;
  codec->time_base = AVRational{1, sampleRate};
  Check(avcodec_open2(codec, encoder, nullptr), "codec");
  Check(avcodec_parameters_from_context(stream->codecpar, codec), "parameters");
  stream->time_base = codec->time_base;
  Check(avio_open(&format->pb, fileName.c_str(), AVIO_FLAG_WRITE), "open");
  Check(avformat_write_header(format, nullptr), "header");

  AVFrame* frame = av_frame_alloc();
  const int frameSize = codec->frame_size;
  const int total = static_cast<int>(samples.size()) / channels;
  for (int at = 0; at < total; at += frameSize) {
    frame->nb_samples = std::min(frameSize, total - at);
    frame->format = codec->sample_fmt;
    av_channel_layout_copy(&frame->ch_layout, &codec->ch_layout);
    frame->sample_rate = sampleRate;
    av_frame_get_buffer(frame, 0);
    for (int c = 0; c < channels; ++c) {
      auto* plane = reinterpret_cast<float*>(frame->extended_data[c]);
      for (int i = 0; i < frame->nb_samples; ++i) plane[i] = samples[static_cast<size_t>((at + i) * channels + c)] / 32768.0f;
    }
    frame->pts = at;
    WritePackets(codec, format, stream, frame);
    av_frame_unref(frame);
  }
  WritePackets(codec, format, stream, nullptr);
  Check(av_write_trailer(format), "trailer");
  av_frame_free(&frame);
  avcodec_free_context(&codec);
  avio_closep(&format->pb);
  avformat_free_context(format);
}
