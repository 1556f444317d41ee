#include "platform/Mp3FrameDecoder.h"
#include "platform/Error.h"

#include <cstring>
#include <stdexcept>

#include "platform/Ffmpeg.h"
#include "platform/PcmConverter.h"

struct Mp3FrameDecoder::State {
  int channels = 0;
  int rate = 0;
  AVCodecContext* context = nullptr;
  AVPacket* packet = nullptr;
  AVFrame* frame = nullptr;
  media::PcmConverter converter;
  std::vector<uint8_t> padded;  // the decoder reads a little past a packet's end
  std::vector<uint8_t> bytes;   // the converter's output
};

Mp3FrameDecoder::Mp3FrameDecoder(int channels, int sampleRate) : state_(std::make_unique<State>()) {
  State& s = *state_;
  s.channels = channels;
  s.rate = sampleRate;
  Ffmpeg().av_log_set_level(AV_LOG_QUIET);
  const AVCodec* codec = Ffmpeg().avcodec_find_decoder(AV_CODEC_ID_MP3);
  if (codec) s.context = Ffmpeg().avcodec_alloc_context3(codec);
  s.packet = Ffmpeg().av_packet_alloc();
  s.frame = Ffmpeg().av_frame_alloc();
  if (!codec || !s.context || !s.packet || !s.frame || Ffmpeg().avcodec_open2(s.context, codec, nullptr) != 0) {
    Ffmpeg().av_frame_free(&s.frame);
    Ffmpeg().av_packet_free(&s.packet);
    Ffmpeg().avcodec_free_context(&s.context);
    throw Error(ErrorKind::Failed, "FFmpeg's MP3 decoder could not be opened");
  }
}

Mp3FrameDecoder::~Mp3FrameDecoder() {
  if (!FfmpegLoaded()) return;  // nothing was allocated
  Ffmpeg().av_frame_free(&state_->frame);
  Ffmpeg().av_packet_free(&state_->packet);
  Ffmpeg().avcodec_free_context(&state_->context);
}

void Mp3FrameDecoder::Reset() {
  Ffmpeg().avcodec_flush_buffers(state_->context);
  state_->converter.Reset();
}

int Mp3FrameDecoder::Decode(const uint8_t* frame, int bytes, std::vector<int16_t>& out) {
  State& s = *state_;
  s.padded.assign(frame, frame + bytes);
  s.padded.resize(static_cast<size_t>(bytes) + AV_INPUT_BUFFER_PADDING_SIZE, 0);
  s.packet->data = s.padded.data();
  s.packet->size = bytes;
  int made = 0;
  if (Ffmpeg().avcodec_send_packet(s.context, s.packet) == 0) {
    while (Ffmpeg().avcodec_receive_frame(s.context, s.frame) == 0) {
      s.bytes.clear();
      s.converter.Append(s.frame, 0, s.channels, 16, s.rate, s.bytes);
      const size_t samples = s.bytes.size() / 2;
      const size_t before = out.size();
      out.resize(before + samples);
      std::memcpy(out.data() + before, s.bytes.data(), samples * 2);
      made += static_cast<int>(samples / static_cast<size_t>(s.channels));
      Ffmpeg().av_frame_unref(s.frame);
    }
  }
  s.packet->data = nullptr;
  s.packet->size = 0;
  return made;
}
