#include "platform/Encoder.h"
#include "platform/Error.h"

#include <cstdlib>
#include <mutex>
#include <cstring>
#include <stdexcept>

#include "Ffmpeg.h"

#include "platform/BlockWorker.h"
#include "platform/FrameQueue.h"

namespace media {

int EncoderRate(const std::string& codec, int rate) {
  const AVCodec* encoder = Ffmpeg().avcodec_find_encoder_by_name(codec.c_str());
  if (encoder == nullptr) return 0;
  if (encoder->supported_samplerates == nullptr) return rate;
  int nearest = encoder->supported_samplerates[0];
  for (const int* r = encoder->supported_samplerates; *r != 0; ++r) {
    if (*r == rate) return rate;
    // Of two as near, the higher: resampling up loses nothing.
    const int distance = std::abs(*r - rate), best = std::abs(nearest - rate);
    if (distance < best || (distance == best && *r > nearest)) nearest = *r;
  }
  return nearest;
}

namespace {

/// The encoder's sample format: for a lossless one the size asked for, for
/// the others floating point, in which they work.
AVSampleFormat ChooseSampleFormat(const AVCodec& codec, int bits) {
  const AVSampleFormat* formats = codec.sample_fmts;
  if (formats == nullptr) return AV_SAMPLE_FMT_FLTP;
  const AVSampleFormat wanted[] = {bits > 16 ? AV_SAMPLE_FMT_S32 : AV_SAMPLE_FMT_S16,
                                   bits > 16 ? AV_SAMPLE_FMT_S32P : AV_SAMPLE_FMT_S16P, AV_SAMPLE_FMT_FLTP,
                                   AV_SAMPLE_FMT_FLT};
  const bool lossless = (codec.capabilities & AV_CODEC_CAP_LOSSLESS) != 0 || codec.id == AV_CODEC_ID_FLAC ||
                        codec.id == AV_CODEC_ID_ALAC;
  for (size_t i = lossless ? 0 : 2; i < std::size(wanted); ++i)
    for (const AVSampleFormat* f = formats; *f != AV_SAMPLE_FMT_NONE; ++f)
      if (*f == wanted[i]) return *f;
  return formats[0];
}

}  // namespace

/// Frames of the encoder's size are encoded as they fill, the last one as
/// short as the input leaves it (every encoder here takes a short last
/// frame), so that nothing is added that the container would have to hide.
class Encoder::Impl {
 public:
  Impl(const EncoderSettings& settings, const PcmLayout& input, const std::string& fileName) : input_(input) {
    try {
      Open(settings, fileName);
    } catch (...) {
      Release();
      throw;
    }
    const int frameBytes = input.channels * input.bits / 8;
    encoding_ = std::make_unique<BlockWorker>([this, frameBytes](uint8_t* bytes, size_t length) {
      return queue_->Add(bytes, static_cast<int>(length / frameBytes)) && EncodeWhole();
    });
  }
  ~Impl() { Release(); }

  void Write(const uint8_t* bytes, size_t length) {
    const size_t frameBytes = static_cast<size_t>(input_.channels * input_.bits / 8);
    const size_t frames = length / frameBytes;
    if (frames == 0) return;
    if (!encoding_->Submit(bytes, frames * frameBytes)) Fail();
  }

  EncodedLength Finish() {
    bool ok = encoding_->Finish();
    ok = ok && queue_->Add(nullptr, 0) && EncodeWhole();  // what the resampler still holds
    if (ok && queue_->Size() > 0) ok = EncodeFrame(queue_->Size());
    ok = ok && Encode(nullptr);
    ok = ok && Check(Ffmpeg().av_write_trailer(format_)) && Check(Ffmpeg().avio_closep(&format_->pb));
    EncodedLength length;
    length.samples = samplesEncoded_;
    length.priming = encoder_ ? encoder_->initial_padding : 0;
    const int frameSize = encoder_ ? encoder_->frame_size : 0;
    if (frameSize > 0) length.padding = packets_ * frameSize - length.priming - length.samples;
    Release();
    if (!ok) Fail();
    return length;
  }

 private:
  void Open(const EncoderSettings& settings, const std::string& fileName) {
    const AVCodec* codec = Ffmpeg().avcodec_find_encoder_by_name(settings.codec.c_str());
    if (codec == nullptr) throw Error(ErrorKind::MissingLibrary, "FFmpeg's " + settings.codec + " encoder is not installed");
    if (!Check(Ffmpeg().avformat_alloc_output_context2(&format_, nullptr, settings.muxer.c_str(), nullptr))) Fail();
    // FLAC and Opus in MP4 are still marked experimental in FFmpeg's muxer;
    // the files are those the MP4 registration of each codec describes.
    format_->strict_std_compliance = FF_COMPLIANCE_EXPERIMENTAL;
    AVStream* stream = Ffmpeg().avformat_new_stream(format_, nullptr);
    frame_ = Ffmpeg().av_frame_alloc();
    packet_ = Ffmpeg().av_packet_alloc();
    if (stream == nullptr || frame_ == nullptr || packet_ == nullptr)
      throw Error(ErrorKind::Failed, "Out of memory");
    const int rate = settings.rate > 0 ? settings.rate : input_.rate;
    // A bit rate the encoder cannot reach for this rate and layout (Vorbis
    // has a range for each) gives way to the nearest it takes: up to its
    // minimum first, never needlessly down.
    const bool globalHeader = format_->oformat->flags & AVFMT_GLOBALHEADER;
    std::vector<int64_t> bitrates = {settings.bitrate};
    if (settings.bitrate > 0) {
      for (int64_t up = settings.bitrate * 5 / 4; up <= 640000; up = up * 5 / 4) bitrates.push_back(up);
      for (int64_t down = settings.bitrate * 4 / 5; down >= 8000; down = down * 4 / 5) bitrates.push_back(down);
    }
    bool opened = false;
    for (const int64_t bitrate : bitrates)
      if ((opened = OpenCodec(*codec, rate, bitrate, settings.bits, globalHeader))) break;
    if (!opened) Fail();
    failureText_.clear();  // the refusals on the way were no failure
    if (!Check(Ffmpeg().avcodec_parameters_from_context(stream->codecpar, encoder_))) Fail();
    stream->time_base = encoder_->time_base;
    streamIndex_ = stream->index;
    queue_ = std::make_unique<FrameQueue>(input_, *encoder_);
    if (!Check(Ffmpeg().avio_open(&format_->pb, fileName.c_str(), AVIO_FLAG_WRITE))) Fail();
    AddChapters(settings.chapters);
    // An MP4 movie on the audio's own clock: its edit list then ends on the exact sample.
    AVDictionary* options = nullptr;
    Ffmpeg().av_dict_set(&options, "movie_timescale", std::to_string(rate).c_str(), 0);
    const bool written = Check(Ffmpeg().avformat_write_header(format_, &options));
    Ffmpeg().av_dict_free(&options);
    if (!written) Fail();
  }

  /// The chapters for the muxer; avformat_free_context frees them with the context.
  void AddChapters(const std::vector<Chapter>& chapters) {
    if (chapters.empty() || std::strcmp(format_->oformat->name, "flac") == 0 ||
        std::strcmp(format_->oformat->name, "ogg") == 0)
      return;  // Vorbis comments: the source's tags carry those
    format_->chapters = static_cast<AVChapter**>(Ffmpeg().av_mallocz(chapters.size() * sizeof(AVChapter*)));
    if (format_->chapters == nullptr) throw Error(ErrorKind::Failed, "Out of memory");
    for (const Chapter& from : chapters) {
      auto* chapter = static_cast<AVChapter*>(Ffmpeg().av_mallocz(sizeof(AVChapter)));
      if (chapter == nullptr) throw Error(ErrorKind::Failed, "Out of memory");
      format_->chapters[format_->nb_chapters++] = chapter;
      chapter->id = format_->nb_chapters;
      chapter->time_base = {1, input_.rate};
      chapter->start = from.start;
      chapter->end = from.end;
      if (!from.title.empty()) Ffmpeg().av_dict_set(&chapter->metadata, "title", from.title.c_str(), 0);
    }
  }

  /// Opens the encoder with these settings; false (the context freed) when it refuses them.
  bool OpenCodec(const AVCodec& codec, int rate, int64_t bitrate, int bits, bool globalHeader) {
    Ffmpeg().avcodec_free_context(&encoder_);
    encoder_ = Ffmpeg().avcodec_alloc_context3(&codec);
    if (encoder_ == nullptr) throw Error(ErrorKind::Failed, "Out of memory");
    encoder_->sample_fmt = ChooseSampleFormat(codec, bits);
    if (encoder_->sample_fmt == AV_SAMPLE_FMT_S32 || encoder_->sample_fmt == AV_SAMPLE_FMT_S32P)
      encoder_->bits_per_raw_sample = 24;
    else if (encoder_->sample_fmt == AV_SAMPLE_FMT_S16P || encoder_->sample_fmt == AV_SAMPLE_FMT_S16)
      encoder_->bits_per_raw_sample = 16;
    encoder_->sample_rate = rate;
    Ffmpeg().av_channel_layout_default(&encoder_->ch_layout, input_.channels);
    encoder_->bit_rate = bitrate;
    encoder_->time_base = AVRational{1, rate};
    if (globalHeader) encoder_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (Check(Ffmpeg().avcodec_open2(encoder_, &codec, nullptr))) return true;
    Ffmpeg().avcodec_free_context(&encoder_);
    return false;
  }

  /// Encodes every whole frame waiting.
  bool EncodeWhole() {
    const int frameSize = encoder_->frame_size > 0 ? encoder_->frame_size : 4096;
    while (queue_->Size() >= frameSize)
      if (!EncodeFrame(frameSize)) return false;
    return true;
  }

  bool EncodeFrame(int frames) {
    if (!queue_->Take(*frame_, frames)) return false;
    frame_->pts = samplesEncoded_;
    samplesEncoded_ += frames;
    return Encode(frame_);
  }

  bool Encode(AVFrame* frame) {
    if (!Check(Ffmpeg().avcodec_send_frame(encoder_, frame))) return false;
    for (;;) {
      const int received = Ffmpeg().avcodec_receive_packet(encoder_, packet_);
      if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return true;
      if (!Check(received)) return false;
      ++packets_;
      // An encoder that takes only whole frames fills the last one up with
      // silence; the packet covers no more than the samples it was given, so
      // that the container's length (the MP4 edit list) ends where they end.
      if (packet_->pts != AV_NOPTS_VALUE && packet_->duration > 0 && packet_->pts + packet_->duration > samplesEncoded_)
        packet_->duration = std::max<int64_t>(1, samplesEncoded_ - packet_->pts);
      Ffmpeg().av_packet_rescale_ts(packet_, encoder_->time_base, format_->streams[streamIndex_]->time_base);
      packet_->stream_index = streamIndex_;
      if (!Check(Ffmpeg().av_write_frame(format_, packet_))) return false;
      // An Ogg stream whose first audio page is also its last cannot tell
      // readers where its audio starts: the first page ends after two packets.
      if (packets_ == 2 && (format_->oformat->flags & AVFMT_ALLOW_FLUSH) && !Check(Ffmpeg().av_write_frame(format_, nullptr)))
        return false;
    }
  }

  /// True for a result of 0 or more; otherwise keeps the first failure's reason.
  bool Check(int result) {
    if (result >= 0) return true;
    std::lock_guard lock(failureLock_);
    if (failureText_.empty()) failureText_ = AvErrorText(result);
    return false;
  }

  [[noreturn]] void Fail() {
    std::lock_guard lock(failureLock_);
    throw Error(ErrorKind::Failed, failureText_.empty() ? "the encoder failed" : failureText_);
  }

  void Release() {
    if (!FfmpegLoaded()) return;  // nothing was allocated
    encoding_.reset();
    queue_.reset();
    if (format_ != nullptr && format_->pb != nullptr) Ffmpeg().avio_closep(&format_->pb);
    Ffmpeg().avformat_free_context(format_);
    format_ = nullptr;
    Ffmpeg().avcodec_free_context(&encoder_);
    Ffmpeg().av_frame_free(&frame_);
    Ffmpeg().av_packet_free(&packet_);
  }

  const PcmLayout input_;
  std::mutex failureLock_;  // the encoding thread sets, the caller reads
  std::string failureText_;
  AVFormatContext* format_ = nullptr;
  AVCodecContext* encoder_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVPacket* packet_ = nullptr;
  std::unique_ptr<FrameQueue> queue_;
  std::unique_ptr<BlockWorker> encoding_;
  int streamIndex_ = 0;
  int64_t samplesEncoded_ = 0;
  int64_t packets_ = 0;
};

Encoder::Encoder(const EncoderSettings& settings, const PcmLayout& input, const std::string& fileName)
    : impl_(std::make_unique<Impl>(settings, input, fileName)) {}
Encoder::~Encoder() = default;
void Encoder::Write(const uint8_t* pcm, size_t bytes) { impl_->Write(pcm, bytes); }
EncodedLength Encoder::Finish() { return impl_->Finish(); }

}  // namespace media
