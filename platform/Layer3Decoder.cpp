#include "platform/Layer3Decoder.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "Ffmpeg.h"
#include "platform/PcmConverter.h"

namespace media {

bool DecodeLayer3(const uint8_t* data, size_t size, int channels, std::vector<int16_t>& pcm) {
  Ffmpeg().av_log_set_level(AV_LOG_QUIET);
  const AVCodec* codec = Ffmpeg().avcodec_find_decoder(AV_CODEC_ID_MP3);
  if (codec == nullptr) return false;
  AVCodecParserContext* parser = Ffmpeg().av_parser_init(codec->id);
  AVCodecContext* context = Ffmpeg().avcodec_alloc_context3(codec);
  AVPacket* packet = Ffmpeg().av_packet_alloc();
  AVFrame* frame = Ffmpeg().av_frame_alloc();
  bool ok = parser && context && packet && frame && Ffmpeg().avcodec_open2(context, codec, nullptr) == 0;
  PcmConverter converter;
  std::vector<uint8_t> bytes;
  auto drain = [&] {
    while (Ffmpeg().avcodec_receive_frame(context, frame) == 0)
      converter.Append(frame, 0, channels, 16, frame->sample_rate, bytes);
  };
  // The parser reads a little past what it is given, so the input gets zero padding.
  std::vector<uint8_t> padded(data, data + size);
  padded.resize(size + AV_INPUT_BUFFER_PADDING_SIZE, 0);
  const uint8_t* at = padded.data();
  int left = static_cast<int>(size);
  while (ok && left > 0) {
    const int used = Ffmpeg().av_parser_parse2(parser, context, &packet->data, &packet->size, at, left, AV_NOPTS_VALUE,
                                      AV_NOPTS_VALUE, 0);
    if (used < 0) break;
    at += used;
    left -= used;
    if (packet->size > 0 && Ffmpeg().avcodec_send_packet(context, packet) == 0) drain();
    if (used == 0 && packet->size == 0) break;
  }
  if (ok) {
    Ffmpeg().av_parser_parse2(parser, context, &packet->data, &packet->size, nullptr, 0, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
    if (packet->size > 0 && Ffmpeg().avcodec_send_packet(context, packet) == 0) drain();
    Ffmpeg().avcodec_send_packet(context, nullptr);
    drain();
  }
  Ffmpeg().av_frame_free(&frame);
  Ffmpeg().av_packet_free(&packet);
  Ffmpeg().avcodec_free_context(&context);
  if (parser) Ffmpeg().av_parser_close(parser);
  pcm.resize(bytes.size() / 2);
  if (!pcm.empty()) std::memcpy(pcm.data(), bytes.data(), pcm.size() * 2);
  return ok && !pcm.empty();
}

}  // namespace media


