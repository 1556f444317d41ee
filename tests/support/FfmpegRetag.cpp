#include "tests/support/FfmpegRetag.h"

#include <stdexcept>

extern "C" {
#include <libavformat/avformat.h>
}

namespace {

void Check(int result, const char* what) {
  if (result < 0) throw std::runtime_error(std::string("FFmpeg retag: ") + what);
}

}  // namespace

void RetagWithFfmpeg(const std::string& source, const std::string& target,
                     const std::map<std::string, std::string>& metadata) {
  AVFormatContext* in = nullptr;
  Check(avformat_open_input(&in, source.c_str(), nullptr, nullptr), "open");
  Check(avformat_find_stream_info(in, nullptr), "stream info");
  AVFormatContext* out = nullptr;
  Check(avformat_alloc_output_context2(&out, nullptr, "mp3", target.c_str()), "container");
  for (const auto& [key, value] : metadata) av_dict_set(&out->metadata, key.c_str(), value.c_str(), 0);
  AVStream* stream = avformat_new_stream(out, nullptr);
  Check(avcodec_parameters_copy(stream->codecpar, in->streams[0]->codecpar), "parameters");
  stream->time_base = in->streams[0]->time_base;
  Check(avio_open(&out->pb, target.c_str(), AVIO_FLAG_WRITE), "create");
  Check(avformat_write_header(out, nullptr), "header");
  AVPacket* packet = av_packet_alloc();
  while (av_read_frame(in, packet) >= 0) {
    packet->stream_index = 0;
    av_packet_rescale_ts(packet, in->streams[0]->time_base, stream->time_base);
    Check(av_interleaved_write_frame(out, packet), "write");
  }
  av_packet_free(&packet);
  Check(av_write_trailer(out), "trailer");
  avio_closep(&out->pb);
  avformat_free_context(out);
  avformat_close_input(&in);
}
