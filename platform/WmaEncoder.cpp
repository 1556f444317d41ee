#include "platform/WmaEncoder.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "Ffmpeg.h"

#include "platform/EncoderCore.h"
#include "platform/WmaStreamServer.h"
#include "platform/Error.h"

namespace media {

std::string WmaFormat::Description() const {
  char text[64];
  std::snprintf(text, sizeof text, "%d kbps, %2d kHz, %s CBR", bitrate / 1000, rate / 1000, channels == 1 ? "mono" : "stereo");
  return text;
}

namespace {

/// Whether the encoder opens with this format: what it accepts is what it offers.
bool Encodes(const AVCodec* encoder, const WmaFormat& format) {
  AVCodecContext* context = Ffmpeg().avcodec_alloc_context3(encoder);
  if (context == nullptr) return false;
  context->sample_fmt = AV_SAMPLE_FMT_FLTP;
  context->sample_rate = format.rate;
  Ffmpeg().av_channel_layout_default(&context->ch_layout, format.channels);
  context->bit_rate = format.bitrate;
  const bool opened = Ffmpeg().avcodec_open2(context, encoder, nullptr) == 0;
  Ffmpeg().avcodec_free_context(&context);
  return opened;
}

}  // namespace

const std::vector<WmaCodec>& WmaCodecs() {
  static std::vector<WmaCodec> codecs;
  static std::once_flag listed;
  std::call_once(listed, [] {
    Ffmpeg().av_log_set_level(AV_LOG_QUIET);
    const std::pair<const char*, AVCodecID> kinds[] = {{"Windows Media Audio 2 (wmav2)", AV_CODEC_ID_WMAV2},
                                                       {"Windows Media Audio 1 (wmav1)", AV_CODEC_ID_WMAV1}};
    for (const auto& [name, id] : kinds) {
      const AVCodec* encoder = Ffmpeg().avcodec_find_encoder(id);
      if (encoder == nullptr) continue;
      WmaCodec codec{name, id, {}};
      for (int kbps : {320, 256, 192, 160, 128, 112, 96, 80, 64, 56, 48, 40, 32, 24, 20, 16, 12, 10, 8})
        // Of equal bit rates the most common rate first: the format search keeps
        // the first of them that fits.
        for (int rate : {44100, 48000, 32000, 22050, 16000, 11025, 8000})
          for (int channels : {2, 1})
            if (const WmaFormat format{channels, rate, kbps * 1000}; Encodes(encoder, format))
              codec.formats.push_back(format);
      codecs.push_back(std::move(codec));
    }
  });
  return codecs;
}

namespace {

std::string SampleCountText(int64_t frames) {
  char text[24];
  std::snprintf(text, sizeof text, "%020lld", static_cast<long long>(frames));
  return text;
}

}  // namespace

/// Encodes PCM into an ASF stream. The encoder's first frame only primes the
/// decoder, so one frame of silence goes first: a decoder that drops that
/// frame starts exactly at the first sample written. At the end the last
/// partial frame and one more are filled with silence, so that every sample
/// written is decoded.
class WmaEncoder::Impl {
 public:
  Impl(const WmaCodec& codec, const WmaFormat& format, const PcmLayout& input, const Tags& tags,
       const std::string& fileName, WmaStreamServer* server)
      : codecId_(codec.id),
        format_choice_(format),
        input_(input),
        attributes_(tags),
        fileName_(fileName),
        network_(server),
        core_(input) {
    bool opened = false;
    std::string reason;
    try {
      opened = OpenEncoding();
    } catch (const std::runtime_error& e) {
      if (IsMissingLibrary(e)) {
        Release();
        throw;
      }
      reason = e.what();
    }
    if (!opened) {
      if (reason.empty()) reason = core_.FailureText();
      Release();
      throw Error(ErrorKind::Failed, reason.empty() ? "the WMA encoder could not be started" : reason);
    }
    if (network_) {
      // A few seconds of the stream, and a little for the container, for the clients' window.
      const int64_t bitrate = core_.Context()->bit_rate;
      network_->SetStreamRate(bitrate / 8 + bitrate / 80);
      startedAt_ = std::chrono::steady_clock::now();
    }
  }
  ~Impl() { Release(); }

  void Write(const uint8_t* bytes, size_t length) {
    const int frameBytes = input_.channels * input_.bits / 8;
    const int frames = static_cast<int>(length / frameBytes);
    if (frames == 0) return;  // nothing to add: the clock and the muxer stay as they are
    inputFrames_ += frames;
    framesWritten_ = Ffmpeg().av_rescale(inputFrames_, core_.Context()->sample_rate, input_.rate);
    if (!core_.Write(bytes, static_cast<size_t>(frames) * frameBytes)) core_.Fail("the WMA encoder failed");
    if (network_) PaceToRealTime();
  }

  void Finish() {
    bool ok = core_.FinishWriting();
    FrameQueue& queue = core_.Queue();
    ok = ok && queue.Add(nullptr, 0);  // what the resampler still holds
    // Silence to the end of the last frame, and one frame more for the decoder.
    const int frameSize = core_.Context()->frame_size;
    const int partial = queue.Size() % frameSize;
    ok = ok && queue.AddSilence((partial == 0 ? 0 : frameSize - partial) + frameSize) && core_.EncodeWhole();
    ok = ok && core_.Flush();
    if (ok) Ffmpeg().av_dict_set(&format_->metadata, kSampleCountTag, SampleCountText(framesWritten_).c_str(), 0);
    ok = ok && core_.Check(Ffmpeg().av_write_trailer(format_));
    if (network_) ok = ok && SendToClients();
    else ok = ok && core_.Check(Ffmpeg().avio_closep(&format_->pb));
    Release();
    if (!ok) core_.Fail("the WMA encoder failed");
  }

 private:
  bool OpenEncoding() {
    const WmaFormat& f = format_choice_;
    const AVCodec* codec = Ffmpeg().avcodec_find_encoder(static_cast<AVCodecID>(codecId_));
    if (codec == nullptr) return false;
    // Listeners get a plain ASF stream that is never gone back over (no seeking IO).
    if (Ffmpeg().avformat_alloc_output_context2(&format_, nullptr, "asf", nullptr) < 0) return false;
    for (const auto& [name, value] : attributes_) Ffmpeg().av_dict_set(&format_->metadata, name.c_str(), value.c_str(), 0);
    // Filled in at the end, when the muxer writes the header again: the same width keeps its size.
    Ffmpeg().av_dict_set(&format_->metadata, kSampleCountTag, SampleCountText(0).c_str(), 0);
    AVStream* stream = Ffmpeg().avformat_new_stream(format_, nullptr);
    if (stream == nullptr) return false;
    AVCodecContext& encoder = core_.NewContext(*codec);
    encoder.sample_fmt = AV_SAMPLE_FMT_FLTP;
    encoder.sample_rate = f.rate;
    Ffmpeg().av_channel_layout_default(&encoder.ch_layout, f.channels);
    encoder.bit_rate = f.bitrate;
    encoder.time_base = AVRational{1, f.rate};
    if (format_->oformat->flags & AVFMT_GLOBALHEADER) encoder.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (Ffmpeg().avcodec_open2(&encoder, codec, nullptr) < 0) return false;
    if (Ffmpeg().avcodec_parameters_from_context(stream->codecpar, &encoder) < 0) return false;
    stream->time_base = encoder.time_base;
    streamIndex_ = stream->index;

    core_.Start([this](AVPacket& packet) { return WritePacket(packet); });
    if (network_) {
      constexpr int kIoBuffer = 4096;
      auto* buffer = static_cast<uint8_t*>(Ffmpeg().av_malloc(kIoBuffer));
      format_->pb = Ffmpeg().avio_alloc_context(buffer, kIoBuffer, 1, this, nullptr, &Impl::CollectBytes, nullptr);
      if (format_->pb == nullptr) return false;
      format_->flags |= AVFMT_FLAG_CUSTOM_IO;
    } else if (!core_.Check(Ffmpeg().avio_open(&format_->pb, fileName_.c_str(), AVIO_FLAG_WRITE))) {
      return false;
    }
    if (!core_.Check(Ffmpeg().avformat_write_header(format_, nullptr))) return false;
    if (network_) {
      Ffmpeg().avio_flush(format_->pb);
      network_->SetHeader(std::move(collected_));
      collected_.clear();
    }
    return core_.Queue().AddSilence(encoder.frame_size);
  }

  bool WritePacket(AVPacket& packet) {
    Ffmpeg().av_packet_rescale_ts(&packet, core_.Context()->time_base, format_->streams[streamIndex_]->time_base);
    packet.stream_index = streamIndex_;
    if (!core_.Check(Ffmpeg().av_interleaved_write_frame(format_, &packet))) return false;
    return !network_ || SendToClients();
  }

  /// The muxer's output for listeners: collected, then handed over in whole packets.
  static int CollectBytes(void* opaque, uint8_t* bytes, int size) {  // FFmpeg 5.1 passes it non-const
    auto* self = static_cast<Impl*>(opaque);
    self->collected_.insert(self->collected_.end(), bytes, bytes + size);
    return size;
  }

  bool SendToClients() {
    Ffmpeg().avio_flush(format_->pb);
    if (!collected_.empty()) network_->Deliver(collected_);
    collected_.clear();
    return true;
  }

  /// Listeners hear the stream as it is played: the writer keeps at most a
  /// moment ahead of the clock, so a client that reads at the stream's own
  /// rate never falls behind. Waits a short while at a time, so a stop stays prompt.
  void PaceToRealTime() {
    constexpr double kLeadSeconds = 0.5;
    const double streamSeconds = static_cast<double>(inputFrames_) / input_.rate;
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - startedAt_).count();
    const double ahead = streamSeconds - elapsed - kLeadSeconds;
    if (ahead > 0) std::this_thread::sleep_for(std::chrono::duration<double>(std::min(ahead, 0.25)));
  }

  void Release() {
    core_.StopWriting();
    if (!FfmpegLoaded()) return;  // nothing was allocated
    if (format_ != nullptr && format_->pb != nullptr) {
      if (network_) {
        Ffmpeg().av_freep(&format_->pb->buffer);
        Ffmpeg().avio_context_free(&format_->pb);
      } else {
        Ffmpeg().avio_closep(&format_->pb);
      }
    }
    Ffmpeg().avformat_free_context(format_);
    format_ = nullptr;
    core_.Release();
  }

  const int codecId_;
  const WmaFormat format_choice_;
  const PcmLayout input_;
  const Tags attributes_;
  const std::string fileName_;
  WmaStreamServer* const network_;
  std::vector<uint8_t> collected_;  // muxer output not yet handed to the listeners
  std::chrono::steady_clock::time_point startedAt_;  // of a network stream
  EncoderCore core_;
  AVFormatContext* format_ = nullptr;
  int streamIndex_ = 0;
  int64_t inputFrames_ = 0;    // frames given to WriteSample
  int64_t framesWritten_ = 0;  // the same at the encoder's rate
};

WmaEncoder::WmaEncoder(const WmaCodec& codec, const WmaFormat& format, const PcmLayout& input, const Tags& tags,
                       const std::string& fileName, WmaStreamServer* server)
    : impl_(std::make_unique<Impl>(codec, format, input, tags, fileName, server)) {}
WmaEncoder::~WmaEncoder() = default;
void WmaEncoder::Write(const uint8_t* pcm, size_t bytes) { impl_->Write(pcm, bytes); }
void WmaEncoder::Finish() { impl_->Finish(); }

}  // namespace media
