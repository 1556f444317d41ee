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

#include "platform/BlockWorker.h"
#include "platform/FrameQueue.h"
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
      : codecId_(codec.id), format_choice_(format), input_(input), attributes_(tags), fileName_(fileName), network_(server) {
    bool opened = false;
    try {
      opened = OpenEncoding();
    } catch (const std::runtime_error& e) {
      failureText_ = e.what();
    }
    if (!opened) {
      const std::string reason = failureText_;
      Release();
      throw Error(ErrorKind::Failed, reason.empty() ? "the WMA encoder could not be started" : reason);
    }
    if (network_) {
      // A few seconds of the stream, and a little for the container, for the clients' window.
      network_->SetStreamRate(encoder_->bit_rate / 8 + encoder_->bit_rate / 80);
      startedAt_ = std::chrono::steady_clock::now();
    }
    const int frameBytes = input_.channels * input_.bits / 8;
    encoding_ = std::make_unique<BlockWorker>([this, frameBytes](uint8_t* bytes, size_t length) {
      return queue_->Add(bytes, static_cast<int>(length / frameBytes)) && EncodeWhole();
    });
  }
  ~Impl() { Release(); }

  void Write(const uint8_t* bytes, size_t length) {
    const int frameBytes = input_.channels * input_.bits / 8;
    const int frames = static_cast<int>(length / frameBytes);
    if (frames == 0) return;  // nothing to add: the clock and the muxer stay as they are
    inputFrames_ += frames;
    framesWritten_ = Ffmpeg().av_rescale(inputFrames_, encoder_->sample_rate, input_.rate);
    if (!encoding_->Submit(bytes, static_cast<size_t>(frames) * frameBytes)) Fail();
    if (network_) PaceToRealTime();
  }

  void Finish() {
    bool ok = encoding_->Finish();
    ok = ok && queue_->Add(nullptr, 0);  // what the resampler still holds
    // Silence to the end of the last frame, and one frame more for the decoder.
    const int frameSize = encoder_->frame_size;
    const int partial = queue_->Size() % frameSize;
    ok = ok && queue_->AddSilence((partial == 0 ? 0 : frameSize - partial) + frameSize) && EncodeWhole();
    ok = ok && Encode(nullptr);
    if (ok) Ffmpeg().av_dict_set(&format_->metadata, kSampleCountTag, SampleCountText(framesWritten_).c_str(), 0);
    ok = ok && Check(Ffmpeg().av_write_trailer(format_));
    if (network_) ok = ok && SendToClients();
    else ok = ok && Check(Ffmpeg().avio_closep(&format_->pb));
    Release();
    if (!ok) Fail();
  }

 private:
  [[noreturn]] void Fail() {
    std::lock_guard lock(failureLock_);
    throw Error(ErrorKind::Failed, failureText_.empty() ? "the WMA encoder failed" : failureText_);
  }

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
    encoder_ = Ffmpeg().avcodec_alloc_context3(codec);
    frame_ = Ffmpeg().av_frame_alloc();
    packet_ = Ffmpeg().av_packet_alloc();
    if (stream == nullptr || encoder_ == nullptr || frame_ == nullptr || packet_ == nullptr) return false;
    encoder_->sample_fmt = AV_SAMPLE_FMT_FLTP;
    encoder_->sample_rate = f.rate;
    Ffmpeg().av_channel_layout_default(&encoder_->ch_layout, f.channels);
    encoder_->bit_rate = f.bitrate;
    encoder_->time_base = AVRational{1, f.rate};
    if (format_->oformat->flags & AVFMT_GLOBALHEADER) encoder_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (Ffmpeg().avcodec_open2(encoder_, codec, nullptr) < 0) return false;
    if (Ffmpeg().avcodec_parameters_from_context(stream->codecpar, encoder_) < 0) return false;
    stream->time_base = encoder_->time_base;
    streamIndex_ = stream->index;

    queue_ = std::make_unique<FrameQueue>(input_, *encoder_);
    if (network_) {
      constexpr int kIoBuffer = 4096;
      auto* buffer = static_cast<uint8_t*>(Ffmpeg().av_malloc(kIoBuffer));
      format_->pb = Ffmpeg().avio_alloc_context(buffer, kIoBuffer, 1, this, nullptr, &Impl::CollectBytes, nullptr);
      if (format_->pb == nullptr) return false;
      format_->flags |= AVFMT_FLAG_CUSTOM_IO;
    } else if (!Check(Ffmpeg().avio_open(&format_->pb, fileName_.c_str(), AVIO_FLAG_WRITE))) {
      return false;
    }
    if (!Check(Ffmpeg().avformat_write_header(format_, nullptr))) return false;
    if (network_) {
      Ffmpeg().avio_flush(format_->pb);
      network_->SetHeader(std::move(collected_));
      collected_.clear();
    }
    return queue_->AddSilence(encoder_->frame_size);
  }

  /// Encodes every whole frame waiting.
  bool EncodeWhole() {
    const int frameSize = encoder_->frame_size;
    while (queue_->Size() >= frameSize) {
      if (!queue_->Take(*frame_, frameSize)) return false;
      frame_->pts = samplesEncoded_;
      samplesEncoded_ += frameSize;
      if (!Encode(frame_)) return false;
    }
    return true;
  }

  bool Encode(AVFrame* frame) {
    if (Ffmpeg().avcodec_send_frame(encoder_, frame) < 0) return false;
    for (;;) {
      const int received = Ffmpeg().avcodec_receive_packet(encoder_, packet_);
      if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return true;
      if (received < 0) return false;
      Ffmpeg().av_packet_rescale_ts(packet_, encoder_->time_base, format_->streams[streamIndex_]->time_base);
      packet_->stream_index = streamIndex_;
      if (!Check(Ffmpeg().av_interleaved_write_frame(format_, packet_))) return false;
      if (network_ && !SendToClients()) return false;
    }
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

  /// True for a result of 0 or more; otherwise keeps its reason for FailureText.
  bool Check(int result) {
    if (result >= 0) return true;
    std::lock_guard lock(failureLock_);
    if (failureText_.empty()) failureText_ = AvErrorText(result);  // the first failure is the cause
    return false;
  }

  void Release() {
    if (!FfmpegLoaded()) return;  // nothing was allocated
    encoding_.reset();
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
    Ffmpeg().avcodec_free_context(&encoder_);
    queue_.reset();
    Ffmpeg().av_frame_free(&frame_);
    Ffmpeg().av_packet_free(&packet_);
  }

  const int codecId_;
  const WmaFormat format_choice_;
  const PcmLayout input_;
  const Tags attributes_;
  const std::string fileName_;
  WmaStreamServer* const network_;
  std::vector<uint8_t> collected_;  // muxer output not yet handed to the listeners
  std::chrono::steady_clock::time_point startedAt_;  // of a network stream
  mutable std::mutex failureLock_;  // the encoding thread sets, the caller reads
  std::string failureText_;
  AVFormatContext* format_ = nullptr;
  AVCodecContext* encoder_ = nullptr;
  std::unique_ptr<FrameQueue> queue_;
  AVFrame* frame_ = nullptr;
  AVPacket* packet_ = nullptr;
  int streamIndex_ = 0;
  int64_t samplesEncoded_ = 0;
  int64_t inputFrames_ = 0;    // frames given to WriteSample
  int64_t framesWritten_ = 0;  // the same at the encoder's rate
  std::unique_ptr<BlockWorker> encoding_;
};

WmaEncoder::WmaEncoder(const WmaCodec& codec, const WmaFormat& format, const PcmLayout& input, const Tags& tags,
                       const std::string& fileName, WmaStreamServer* server)
    : impl_(std::make_unique<Impl>(codec, format, input, tags, fileName, server)) {}
WmaEncoder::~WmaEncoder() = default;
void WmaEncoder::Write(const uint8_t* pcm, size_t bytes) { impl_->Write(pcm, bytes); }
void WmaEncoder::Finish() { impl_->Finish(); }

}  // namespace media
