#include "platform/msacm.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "Ffmpeg.h"

struct AcmStream {
  WaveFormatEx source{};
  WaveFormatEx dest{};
  const uint8_t* decodedFrom = nullptr;  // the source bytes `pcm` was decoded from
  uint32_t decodedLength = 0;
  std::vector<int16_t> pcm;
};

namespace {

int16_t ToShort(float x) {
  const float scaled = std::nearbyint(std::clamp(x, -1.0f, 1.0f) * 32767.0f);
  return static_cast<int16_t>(scaled);
}

/// Appends a decoded frame as interleaved 16-bit samples of `channels` channels.
void AppendFrame(const AVFrame* frame, int channels, std::vector<int16_t>& out) {
  const int frameChannels = frame->ch_layout.nb_channels;
  const auto format = static_cast<AVSampleFormat>(frame->format);
  for (int i = 0; i < frame->nb_samples; ++i) {
    for (int c = 0; c < channels; ++c) {
      const int from = std::min(c, frameChannels - 1);
      int16_t value = 0;
      switch (format) {
        case AV_SAMPLE_FMT_FLTP: value = ToShort(reinterpret_cast<const float*>(frame->extended_data[from])[i]); break;
        case AV_SAMPLE_FMT_FLT: value = ToShort(reinterpret_cast<const float*>(frame->data[0])[i * frameChannels + from]); break;
        case AV_SAMPLE_FMT_S16P: value = reinterpret_cast<const int16_t*>(frame->extended_data[from])[i]; break;
        case AV_SAMPLE_FMT_S16: value = reinterpret_cast<const int16_t*>(frame->data[0])[i * frameChannels + from]; break;
        default: break;
      }
      out.push_back(value);
    }
  }
}

/// Decodes a whole layer 3 payload; false when the decoder cannot be had.
bool DecodeLayer3(const uint8_t* data, uint32_t size, int channels, std::vector<int16_t>& out) {
  Ffmpeg().av_log_set_level(AV_LOG_QUIET);
  const AVCodec* codec = Ffmpeg().avcodec_find_decoder(AV_CODEC_ID_MP3);
  if (codec == nullptr) return false;
  AVCodecParserContext* parser = Ffmpeg().av_parser_init(codec->id);
  AVCodecContext* context = Ffmpeg().avcodec_alloc_context3(codec);
  AVPacket* packet = Ffmpeg().av_packet_alloc();
  AVFrame* frame = Ffmpeg().av_frame_alloc();
  bool ok = parser && context && packet && frame && Ffmpeg().avcodec_open2(context, codec, nullptr) == 0;
  auto drain = [&] {
    while (Ffmpeg().avcodec_receive_frame(context, frame) == 0) AppendFrame(frame, channels, out);
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
  return ok;
}

bool IsLayer3ToPcm(const WaveFormatEx* source, const WaveFormatEx* dest) {
  return source && dest && source->formatTag == WAVE_FORMAT_MPEGLAYER3 && dest->formatTag == WAVE_FORMAT_PCM &&
         source->channels >= 1 && source->channels <= 2 && source->samplesPerSec > 0 &&
         dest->channels == source->channels && dest->samplesPerSec == source->samplesPerSec &&
         dest->bitsPerSample == 16;
}

}  // namespace

int acmMetrics(void*, int metric, uint32_t* value) {
  if (metric != ACM_METRIC_MAX_SIZE_FORMAT || value == nullptr) return MMSYSERR_INVALPARAM;
  *value = 30;  // the layer 3 format structure
  return MMSYSERR_NOERROR;
}

int acmFormatSuggest(void*, const WaveFormatEx* source, WaveFormatEx* dest, uint32_t destSize, uint32_t flags) {
  if (source == nullptr || dest == nullptr || destSize < 16) return MMSYSERR_INVALPARAM;
  if ((flags & ACM_FORMATSUGGESTF_WFORMATTAG) && dest->formatTag != WAVE_FORMAT_PCM) return ACMERR_NOTPOSSIBLE;
  if (source->formatTag != WAVE_FORMAT_MPEGLAYER3 || source->channels < 1 || source->channels > 2 ||
      source->samplesPerSec == 0)
    return ACMERR_NOTPOSSIBLE;
  dest->formatTag = WAVE_FORMAT_PCM;
  dest->channels = source->channels;
  dest->samplesPerSec = source->samplesPerSec;
  dest->bitsPerSample = 16;
  dest->blockAlign = static_cast<uint16_t>(2 * source->channels);
  dest->avgBytesPerSec = dest->samplesPerSec * dest->blockAlign;
  if (destSize >= sizeof(WaveFormatEx)) dest->cbSize = 0;
  return MMSYSERR_NOERROR;
}

int acmStreamOpen(HACMSTREAM* stream, void*, const WaveFormatEx* source, const WaveFormatEx* dest, void*, uintptr_t,
                  uintptr_t, uint32_t) {
  if (stream == nullptr) return MMSYSERR_INVALPARAM;
  *stream = nullptr;
  if (!IsLayer3ToPcm(source, dest)) return ACMERR_NOTPOSSIBLE;
  if (Ffmpeg().avcodec_find_decoder(AV_CODEC_ID_MP3) == nullptr) return ACMERR_NOTPOSSIBLE;
  *stream = new AcmStream{*source, *dest, nullptr, 0, {}};
  if ((*stream)->dest.avgBytesPerSec == 0)
    (*stream)->dest.avgBytesPerSec = (*stream)->dest.samplesPerSec * 2u * (*stream)->dest.channels;
  return MMSYSERR_NOERROR;
}

int acmStreamSize(HACMSTREAM stream, uint32_t sourceBytes, uint32_t* destBytes, uint32_t flags) {
  if (stream == nullptr) return MMSYSERR_INVALHANDLE;
  if (destBytes == nullptr || flags != ACM_STREAMSIZEF_SOURCE) return MMSYSERR_INVALPARAM;
  // An estimate from the average rates with room to spare, never more than
  // layer 3 can expand to (48 output bytes per input byte at 32 kbit/s, 48 kHz, stereo).
  const uint64_t most = uint64_t{sourceBytes} * 48 + 65536;
  uint64_t estimate = most;
  if (stream->source.avgBytesPerSec > 0)
    estimate = uint64_t{sourceBytes} * stream->dest.avgBytesPerSec / stream->source.avgBytesPerSec * 3 / 2 + 65536;
  *destBytes = static_cast<uint32_t>(std::min<uint64_t>({estimate, most, UINT32_MAX}));
  return MMSYSERR_NOERROR;
}

int acmStreamPrepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, uint32_t) {
  if (stream == nullptr) return MMSYSERR_INVALHANDLE;
  if (header == nullptr || header->cbStruct < sizeof(ACMSTREAMHEADER)) return MMSYSERR_INVALPARAM;
  header->fdwStatus |= ACMSTREAMHEADER_STATUSF_PREPARED;
  return MMSYSERR_NOERROR;
}

int acmStreamConvert(HACMSTREAM stream, ACMSTREAMHEADER* header, uint32_t) {
  if (stream == nullptr) return MMSYSERR_INVALHANDLE;
  if (header == nullptr) return MMSYSERR_INVALPARAM;
  if (!(header->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED)) return ACMERR_UNPREPARED;
  if (stream->decodedFrom != header->pbSrc || stream->decodedLength != header->cbSrcLength) {
    stream->pcm.clear();
    // Data in which the decoder finds no audio cannot be converted.
    if (!DecodeLayer3(header->pbSrc, header->cbSrcLength, stream->dest.channels, stream->pcm) || stream->pcm.empty())
      return ACMERR_NOTPOSSIBLE;
    stream->decodedFrom = header->pbSrc;
    stream->decodedLength = header->cbSrcLength;
  }
  const uint64_t bytes = stream->pcm.size() * sizeof(int16_t);
  const uint32_t copied = static_cast<uint32_t>(std::min<uint64_t>(bytes, header->cbDstLength));
  if (copied > 0) std::memcpy(header->pbDst, stream->pcm.data(), copied);
  header->cbSrcLengthUsed = header->cbSrcLength;
  header->cbDstLengthUsed = copied;
  return MMSYSERR_NOERROR;
}

int acmStreamUnprepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, uint32_t) {
  if (stream == nullptr) return MMSYSERR_INVALHANDLE;
  if (header == nullptr) return MMSYSERR_INVALPARAM;
  header->fdwStatus &= ~ACMSTREAMHEADER_STATUSF_PREPARED;
  return MMSYSERR_NOERROR;
}

int acmStreamClose(HACMSTREAM stream, uint32_t) {
  if (stream == nullptr) return MMSYSERR_INVALHANDLE;
  delete stream;
  return MMSYSERR_NOERROR;
}
