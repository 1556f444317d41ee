#include "platform/wmvwriter.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <chrono>
#include <mutex>
#include <thread>

#include "platform/WriteFailure.h"
#include <vector>

#include "Ffmpeg.h"

#include "platform/BlockWorker.h"
#include "platform/Utf.h"
#include "platform/wmvnetsink.h"
#include "platform/wmvprofile.h"

namespace wm {
namespace {

class WriterBuffer : public IWMWriterBuffer {
 public:
  explicit WriterBuffer(uint32_t size) : bytes(size) {}
  int32_t GetBufferAndLength(uint8_t** buffer, uint32_t* length) override {
    *buffer = bytes.data();
    *length = length_;
    return S_OK;
  }
  int32_t GetBuffer(uint8_t** buffer) override {
    *buffer = bytes.data();
    return S_OK;
  }
  int32_t SetLength(uint32_t length) override {
    if (length > bytes.size()) return E_FAIL;
    length_ = length;
    return S_OK;
  }
  std::vector<uint8_t> bytes;

 private:
  uint32_t length_ = 0;
};

class FileSink : public IWMWriterFileSink {
 public:
  int32_t Open(const std::u16string& name) override {
    fileName = Utf::Utf16ToUtf8(name);
    // Made now, so that a folder that is not there fails here and not later.
    FILE* file = std::fopen(fileName.c_str(), "wb");
    if (file == nullptr) return E_FAIL;
    std::fclose(file);
    return S_OK;
  }
  int32_t Advise(const std::shared_ptr<IWMStatusCallback>& callback, void* context) override {
    callback_ = callback;
    context_ = context;
    return S_OK;
  }
  void Report(int32_t status, int32_t result) {
    if (callback_) callback_->OnStatus(status, result, AttrType::Dword, nullptr, context_);
  }
  std::string fileName;

 private:
  std::shared_ptr<IWMStatusCallback> callback_;
  void* context_ = nullptr;
};

/// Encodes PCM into an ASF file. The encoder's first frame only primes the
/// decoder, so one frame of silence goes first: a decoder that drops that
/// frame starts exactly at the first sample written. At the end the last
/// partial frame and one more are filled with silence, so that every sample
/// written is decoded.
std::string SampleCountText(int64_t frames) {
  char text[24];
  std::snprintf(text, sizeof text, "%020lld", static_cast<long long>(frames));
  return text;
}

class Writer : public IWMWriter {
 public:
  ~Writer() override { Release(); }

  int32_t SetProfile(const std::shared_ptr<IWMProfile>& profile) override {
    auto own = std::dynamic_pointer_cast<Profile>(profile);
    if (!own || own->streams.empty() || writing_) return E_FAIL;
    stream_ = own->streams.front();
    input_ = PcmMediaType(stream_->format.channels, stream_->format.rate, 16);
    return S_OK;
  }
  int32_t GetInputCount(uint32_t* count) override {
    if (count == nullptr) return E_FAIL;
    *count = stream_ ? 1 : 0;
    return S_OK;
  }
  int32_t GetInputProps(uint32_t input, MediaType* type) override {
    if (!stream_ || input != 0 || type == nullptr) return E_FAIL;
    *type = input_;
    return S_OK;
  }
  int32_t SetInputProps(uint32_t input, const MediaType& type) override {
    const WaveFormatEx& f = type.format;
    const bool pcm = type.major == MajorType::Audio && type.isWaveFormatEx && f.formatTag == WAVE_FORMAT_PCM &&
                     f.channels >= 1 && f.channels <= 8 && f.samplesPerSec > 0 &&
                     (f.bitsPerSample == 8 || f.bitsPerSample == 16 || f.bitsPerSample == 24 || f.bitsPerSample == 32);
    if (!stream_ || input != 0 || !pcm || writing_) return E_FAIL;
    input_ = type;
    return S_OK;
  }
  int32_t AllocateSample(uint32_t length, std::shared_ptr<IWMWriterBuffer>* sample) override {
    if (sample == nullptr) return E_FAIL;
    *sample = std::make_shared<WriterBuffer>(length);
    return S_OK;
  }
  int32_t SetAttribute(uint16_t stream, const std::u16string& name, AttrType type, const uint8_t* value,
                       uint16_t length) override {
    if (stream != 0 || type != AttrType::String || writing_ || (value == nullptr && length > 0)) return E_FAIL;
    std::u16string text(length / 2, u'\0');
    if (length > 0) std::memcpy(text.data(), value, text.size() * 2);
    while (!text.empty() && text.back() == u'\0') text.pop_back();
    // The content description's fields go by the muxer's names; the rest as they are.
    std::string key = Utf::Utf16ToUtf8(name);
    if (key == "Title" || key == "Author" || key == "Copyright" || key == "Description")
      std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::tolower(c); });
    attributes_.emplace_back(key, Utf::Utf16ToUtf8(text));
    return S_OK;
  }
  int32_t AddSink(const std::shared_ptr<IWMWriterSink>& sink) override {
    if (writing_ || sink_ || network_) return E_FAIL;  // one sink
    sink_ = std::dynamic_pointer_cast<FileSink>(sink);
    network_ = std::dynamic_pointer_cast<NetworkSink>(sink);
    return sink_ || network_ ? S_OK : E_FAIL;
  }
  int32_t RemoveSink(const std::shared_ptr<IWMWriterSink>& sink) override {
    if (writing_) return E_FAIL;
    if (sink_ && sink == std::static_pointer_cast<IWMWriterSink>(sink_)) sink_.reset();
    else if (network_ && sink == std::static_pointer_cast<IWMWriterSink>(network_)) network_.reset();
    else return E_FAIL;
    return S_OK;
  }

  std::string FailureText() const override {
    std::lock_guard lock(failureLock_);
    return failureText_;
  }

  int32_t BeginWriting() override {
    if (!stream_ || writing_ || (!network_ && (!sink_ || sink_->fileName.empty()))) return E_FAIL;
    {
      std::lock_guard lock(failureLock_);
      failureText_.clear();
    }
    if (!OpenEncoding()) {
      Release();
      return E_FAIL;
    }
    if (network_) {
      // A few seconds of the stream, and a little for the container, for the clients' window.
      network_->SetStreamRate(encoder_->bit_rate / 8 + encoder_->bit_rate / 80);
      startedAt_ = std::chrono::steady_clock::now();
    }
    // Encoding runs beside the caller, which meanwhile decodes the next block.
    const uint32_t frameBytes = input_.format.blockAlign;
    encoding_ = std::make_unique<BlockWorker>([this, frameBytes](uint8_t* bytes, size_t length) {
      return Convert(bytes, static_cast<int>(length / frameBytes)) && EncodeWhole();
    });
    writing_ = true;
    return S_OK;
  }

  int32_t WriteSample(uint32_t input, uint64_t, uint32_t, const std::shared_ptr<IWMWriterBuffer>& sample) override {
    if (!writing_ || input != 0 || !sample) return E_FAIL;
    uint8_t* bytes = nullptr;
    uint32_t length = 0;
    sample->GetBufferAndLength(&bytes, &length);
    const int frames = static_cast<int>(length / input_.format.blockAlign);
    if (frames == 0) return S_OK;  // nothing to add: the clock and the muxer stay as they are
    inputFrames_ += frames;
    framesWritten_ = Ffmpeg().av_rescale(inputFrames_, encoder_->sample_rate, input_.format.samplesPerSec);
    if (!encoding_->Submit(bytes, static_cast<size_t>(frames) * input_.format.blockAlign)) return Fail();
    if (network_) PaceToRealTime();
    return S_OK;
  }

  int32_t EndWriting() override {
    if (!writing_) return E_FAIL;
    writing_ = false;
    bool ok = encoding_->Finish();
    ok = ok && Convert(nullptr, 0);  // what the resampler still holds
    // Silence to the end of the last frame, and one frame more for the decoder.
    const int frameSize = encoder_->frame_size;
    const int partial = Ffmpeg().av_audio_fifo_size(fifo_) % frameSize;
    ok = ok && AddSilence((partial == 0 ? 0 : frameSize - partial) + frameSize) && EncodeWhole();
    ok = ok && Encode(nullptr);
    if (ok) Ffmpeg().av_dict_set(&format_->metadata, kSampleCountAttribute, SampleCountText(framesWritten_).c_str(), 0);
    ok = ok && Check(Ffmpeg().av_write_trailer(format_));
    if (network_) ok = ok && SendToClients();
    else ok = ok && Check(Ffmpeg().avio_closep(&format_->pb));
    Release();
    if (!ok) Report(WMT_ERROR);
    return ok ? S_OK : E_FAIL;
  }

 private:
  bool OpenEncoding() {
    const CodecFormat& f = stream_->format;
    const AVCodec* codec = Ffmpeg().avcodec_find_encoder(Codecs()[stream_->codec].id);
    if (codec == nullptr) return false;
    // Listeners get a plain ASF stream that is never gone back over (no seeking IO).
    if (Ffmpeg().avformat_alloc_output_context2(&format_, nullptr, "asf", nullptr) < 0) return false;
    for (const auto& [name, value] : attributes_) Ffmpeg().av_dict_set(&format_->metadata, name.c_str(), value.c_str(), 0);
    // Filled in at the end, when the muxer writes the header again: the same width keeps its size.
    Ffmpeg().av_dict_set(&format_->metadata, kSampleCountAttribute, SampleCountText(0).c_str(), 0);
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

    const WaveFormatEx& in = input_.format;
    AVChannelLayout inLayout;
    Ffmpeg().av_channel_layout_default(&inLayout, in.channels);
    const AVSampleFormat inFormat = in.bitsPerSample == 8    ? AV_SAMPLE_FMT_U8
                                    : in.bitsPerSample == 16 ? AV_SAMPLE_FMT_S16
                                                             : AV_SAMPLE_FMT_S32;  // 24-bit is widened first
    if (Ffmpeg().swr_alloc_set_opts2(&resampler_, &encoder_->ch_layout, AV_SAMPLE_FMT_FLTP, f.rate, &inLayout, inFormat,
                            static_cast<int>(in.samplesPerSec), 0, nullptr) < 0 ||
        Ffmpeg().swr_init(resampler_) < 0)
      return false;
    fifo_ = Ffmpeg().av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, f.channels, encoder_->frame_size * 4);
    if (fifo_ == nullptr) return false;
    if (network_) {
      constexpr int kIoBuffer = 4096;
      auto* buffer = static_cast<uint8_t*>(Ffmpeg().av_malloc(kIoBuffer));
      format_->pb = Ffmpeg().avio_alloc_context(buffer, kIoBuffer, 1, this, nullptr, &Writer::CollectBytes, nullptr);
      if (format_->pb == nullptr) return false;
      format_->flags |= AVFMT_FLAG_CUSTOM_IO;
    } else if (!Check(Ffmpeg().avio_open(&format_->pb, sink_->fileName.c_str(), AVIO_FLAG_WRITE))) {
      return false;
    }
    if (!Check(Ffmpeg().avformat_write_header(format_, nullptr))) return false;
    if (network_) {
      Ffmpeg().avio_flush(format_->pb);
      network_->SetHeader(std::move(collected_));
      collected_.clear();
    }
    return AddSilence(encoder_->frame_size);
  }

  bool AddSilence(int frames) {
    if (frames <= 0) return true;
    std::vector<std::vector<float>> planes(static_cast<size_t>(encoder_->ch_layout.nb_channels),
                                           std::vector<float>(static_cast<size_t>(frames), 0.0f));
    std::vector<void*> pointers;
    for (auto& plane : planes) pointers.push_back(plane.data());
    return Ffmpeg().av_audio_fifo_write(fifo_, pointers.data(), frames) == frames;
  }

  /// Resamples `frames` frames of input PCM (null: the resampler's rest) into the FIFO.
  bool Convert(const uint8_t* bytes, int frames) {
    const WaveFormatEx& in = input_.format;
    const uint8_t* source = bytes;
    if (bytes != nullptr && in.bitsPerSample == 24) {
      // Packed 24-bit to 32-bit: the resampler has no packed 24-bit format.
      widened_.resize(static_cast<size_t>(frames) * in.channels * 4);
      for (size_t i = 0; i < static_cast<size_t>(frames) * in.channels; ++i) {
        widened_[i * 4] = 0;
        std::memcpy(&widened_[i * 4 + 1], bytes + i * 3, 3);
      }
      source = widened_.data();
    }
    const int room = Ffmpeg().swr_get_out_samples(resampler_, frames);
    if (room <= 0) return room == 0;
    if (Ffmpeg().av_audio_fifo_realloc(fifo_, Ffmpeg().av_audio_fifo_size(fifo_) + room) < 0) return false;
    // One buffer kept from call to call, a plane per channel.
    const auto channels = static_cast<size_t>(encoder_->ch_layout.nb_channels);
    converted_.resize(std::max(converted_.size(), channels * static_cast<size_t>(room)));
    uint8_t* out[8];
    for (size_t c = 0; c < channels; ++c) out[c] = reinterpret_cast<uint8_t*>(converted_.data() + c * static_cast<size_t>(room));
    const uint8_t* inPlanes[1] = {source};
    const int made = Ffmpeg().swr_convert(resampler_, out, room, source ? inPlanes : nullptr, source ? frames : 0);
    if (made < 0) return false;
    return Ffmpeg().av_audio_fifo_write(fifo_, reinterpret_cast<void**>(out), made) == made;
  }

  /// Encodes every whole frame the FIFO holds.
  bool EncodeWhole() {
    const int frameSize = encoder_->frame_size;
    while (Ffmpeg().av_audio_fifo_size(fifo_) >= frameSize) {
      if (frame_->buf[0] == nullptr) {
        frame_->nb_samples = frameSize;
        frame_->format = encoder_->sample_fmt;
        frame_->sample_rate = encoder_->sample_rate;
        Ffmpeg().av_channel_layout_copy(&frame_->ch_layout, &encoder_->ch_layout);
        if (Ffmpeg().av_frame_get_buffer(frame_, 0) < 0) return false;
      }
      // The buffer is used again unless the encoder still holds it.
      if (Ffmpeg().av_frame_make_writable(frame_) < 0) return false;
      if (Ffmpeg().av_audio_fifo_read(fifo_, reinterpret_cast<void**>(frame_->extended_data), frameSize) != frameSize) return false;
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
    auto* self = static_cast<Writer*>(opaque);
    self->collected_.insert(self->collected_.end(), bytes, bytes + size);
    return size;
  }

  bool SendToClients() {
    Ffmpeg().avio_flush(format_->pb);
    if (!collected_.empty()) network_->Deliver(collected_);
    collected_.clear();
    return true;
  }

  void Report(int32_t status) {
    if (sink_) sink_->Report(status, E_FAIL);
  }

  int32_t Fail() {
    Report(WMT_ERROR);
    return E_FAIL;
  }

  /// Listeners hear the stream as it is played: the writer keeps at most a
  /// moment ahead of the clock, so a client that reads at the stream's own
  /// rate never falls behind. Waits a short while at a time, so a stop stays prompt.
  void PaceToRealTime() {
    constexpr double kLeadSeconds = 0.5;
    const double streamSeconds = static_cast<double>(inputFrames_) / input_.format.samplesPerSec;
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - startedAt_).count();
    const double ahead = streamSeconds - elapsed - kLeadSeconds;
    if (ahead > 0) std::this_thread::sleep_for(std::chrono::duration<double>(std::min(ahead, 0.25)));
  }

  /// True for a result of 0 or more; otherwise keeps its reason for FailureText.
  bool Check(int result) {
    if (result >= 0) return true;
    std::string text;
    if (result > -4096) {
      text = WriteFailureCause(-result);  // an errno value (AVERROR(e) is -e)
    } else {
      char reason[AV_ERROR_MAX_STRING_SIZE] = {};
      Ffmpeg().av_strerror(result, reason, sizeof reason);
      text = reason;
    }
    std::lock_guard lock(failureLock_);
    if (failureText_.empty()) failureText_ = text;  // the first failure is the cause
    return false;
  }

  void Release() {
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
    Ffmpeg().swr_free(&resampler_);
    if (fifo_ != nullptr) Ffmpeg().av_audio_fifo_free(fifo_);
    fifo_ = nullptr;
    Ffmpeg().av_frame_free(&frame_);
    Ffmpeg().av_packet_free(&packet_);
    writing_ = false;
  }

  std::shared_ptr<StreamConfig> stream_;
  std::shared_ptr<FileSink> sink_;
  std::shared_ptr<NetworkSink> network_;
  std::vector<uint8_t> collected_;  // muxer output not yet handed to the listeners
  MediaType input_;
  std::vector<std::pair<std::string, std::string>> attributes_;
  bool writing_ = false;
  std::chrono::steady_clock::time_point startedAt_;  // of a network stream
  mutable std::mutex failureLock_;  // the encoding thread sets, the caller reads
  std::string failureText_;
  AVFormatContext* format_ = nullptr;
  AVCodecContext* encoder_ = nullptr;
  SwrContext* resampler_ = nullptr;
  AVAudioFifo* fifo_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVPacket* packet_ = nullptr;
  int streamIndex_ = 0;
  int64_t samplesEncoded_ = 0;
  int64_t inputFrames_ = 0;    // frames given to WriteSample
  int64_t framesWritten_ = 0;  // the same at the encoder's rate
  std::vector<uint8_t> widened_;
  std::vector<float> converted_;  // the resampler's output, planar
  std::unique_ptr<BlockWorker> encoding_;
};

}  // namespace

int32_t WMCreateWriter(void*, std::shared_ptr<IWMWriter>* writer) {
  if (writer == nullptr) return E_FAIL;
  *writer = std::make_shared<Writer>();
  return S_OK;
}

int32_t WMCreateWriterFileSink(std::shared_ptr<IWMWriterFileSink>* sink) {
  if (sink == nullptr) return E_FAIL;
  *sink = std::make_shared<FileSink>();
  return S_OK;
}

}  // namespace wm
