#include "platform/Encoder.h"
#include "platform/Error.h"

#include <cstdlib>
#include <mutex>
#include <cstring>
#include <stdexcept>

#include "Ffmpeg.h"

#include "platform/EncoderCore.h"

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
  Impl(const EncoderSettings& settings, const PcmLayout& input, const std::string& fileName)
      : input_(input), core_(input) {
    try {
      Open(settings, fileName);
    } catch (...) {
      Release();
      throw;
    }
    core_.Start([this](AVPacket& packet) { return WritePacket(packet); });
  }
  ~Impl() { Release(); }

  void Write(const uint8_t* bytes, size_t length) {
    const size_t frameBytes = static_cast<size_t>(input_.channels * input_.bits / 8);
    const size_t frames = length / frameBytes;
    if (frames == 0) return;
    if (!core_.Write(bytes, frames * frameBytes)) core_.Fail("the encoder failed");
  }

  EncodedLength Finish() {
    bool ok = core_.FinishWriting();
    ok = ok && core_.Queue().Add(nullptr, 0) && core_.EncodeWhole(true);  // with what the resampler still holds
    ok = ok && core_.Flush();
    ok = ok && core_.Check(Ffmpeg().av_write_trailer(format_)) && core_.Check(Ffmpeg().avio_closep(&format_->pb));
    EncodedLength length;
    const AVCodecContext* encoder = core_.Context();
    length.samples = core_.SamplesEncoded();
    length.priming = encoder ? encoder->initial_padding : 0;
    const int frameSize = encoder ? encoder->frame_size : 0;
    if (frameSize > 0) length.padding = core_.Packets() * frameSize - length.priming - length.samples;
    Release();
    if (!ok) core_.Fail("the encoder failed");
    return length;
  }

 private:
  void Open(const EncoderSettings& settings, const std::string& fileName) {
    const AVCodec* codec = Ffmpeg().avcodec_find_encoder_by_name(settings.codec.c_str());
    if (codec == nullptr) throw Error(ErrorKind::MissingLibrary, "FFmpeg's " + settings.codec + " encoder is not installed");
    if (!core_.Check(Ffmpeg().avformat_alloc_output_context2(&format_, nullptr, settings.muxer.c_str(), nullptr)))
      core_.Fail("the encoder failed");
    // FLAC and Opus in MP4 are still marked experimental in FFmpeg's muxer;
    // the files are those the MP4 registration of each codec describes.
    format_->strict_std_compliance = FF_COMPLIANCE_EXPERIMENTAL;
    AVStream* stream = Ffmpeg().avformat_new_stream(format_, nullptr);
    if (stream == nullptr) throw Error(ErrorKind::Failed, "Out of memory");
    const int rate = settings.rate > 0 ? settings.rate : input_.rate;
    // A bit rate the encoder cannot reach for this rate and layout (Vorbis
    // has a range for each) gives way to the nearest it takes: up to its
    // minimum first, never needlessly down.
    const bool globalHeader = format_->oformat->flags & AVFMT_GLOBALHEADER;
    std::vector<int64_t> bitrates = {settings.bitrate};
    if (settings.bitrate > 0) {
      for (int64_t up = settings.bitrate * 5 / 4; up <= 640000; up = up * 5 / 4) bitrates.push_back(up);
      for (int64_t down = settings.bitrate * 4 / 5; down >= 8000; down = down * 4 / 5) bitrates.push_back(down);
      // Vorbis above 50 kHz has no bit rate management at all: its quality mode then.
      bitrates.push_back(0);
    }
    bool opened = false;
    for (const int64_t bitrate : bitrates)
      if ((opened = OpenCodec(*codec, rate, bitrate, settings.bits, settings.frameSize, globalHeader))) break;
    if (!opened) core_.Fail("the encoder failed");
    core_.ForgetFailure();  // the refusals on the way were no failure
    AVCodecContext& encoder = *core_.Context();
    if (!core_.Check(Ffmpeg().avcodec_parameters_from_context(stream->codecpar, &encoder))) core_.Fail("the encoder failed");
    stream->time_base = encoder.time_base;
    streamIndex_ = stream->index;
    if (!core_.Check(Ffmpeg().avio_open(&format_->pb, fileName.c_str(), AVIO_FLAG_WRITE))) core_.Fail("the encoder failed");
    AddChapters(settings.chapters);
    // An MP4 movie on the audio's own clock: its edit list then ends on the exact sample.
    AVDictionary* options = nullptr;
    Ffmpeg().av_dict_set(&options, "movie_timescale", std::to_string(rate).c_str(), 0);
    const bool written = core_.Check(Ffmpeg().avformat_write_header(format_, &options));
    Ffmpeg().av_dict_free(&options);
    if (!written) core_.Fail("the encoder failed");
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
  bool OpenCodec(const AVCodec& codec, int rate, int64_t bitrate, int bits, int frameSize, bool globalHeader) {
    AVCodecContext& encoder = core_.NewContext(codec);
    encoder.sample_fmt = ChooseSampleFormat(codec, bits);
    if (encoder.sample_fmt == AV_SAMPLE_FMT_S32 || encoder.sample_fmt == AV_SAMPLE_FMT_S32P)
      encoder.bits_per_raw_sample = 24;
    else if (encoder.sample_fmt == AV_SAMPLE_FMT_S16P || encoder.sample_fmt == AV_SAMPLE_FMT_S16)
      encoder.bits_per_raw_sample = 16;
    encoder.sample_rate = rate;
    Ffmpeg().av_channel_layout_default(&encoder.ch_layout, input_.channels);
    encoder.bit_rate = bitrate;
    encoder.time_base = AVRational{1, rate};
    // A block size asked for (FLAC's encoder takes 16 to 65535); else the encoder's own.
    if (frameSize > 0) encoder.frame_size = frameSize;
    if (globalHeader) encoder.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (core_.Check(Ffmpeg().avcodec_open2(&encoder, &codec, nullptr))) return true;
    core_.FreeContext();
    return false;
  }

  bool WritePacket(AVPacket& packet) {
    // An encoder that takes only whole frames fills the last one up with
    // silence; the packet covers no more than the samples it was given, so
    // that the container's length (the MP4 edit list) ends where they end.
    const int64_t encoded = core_.SamplesEncoded();
    if (packet.pts != AV_NOPTS_VALUE && packet.duration > 0 && packet.pts + packet.duration > encoded)
      packet.duration = std::max<int64_t>(1, encoded - packet.pts);
    Ffmpeg().av_packet_rescale_ts(&packet, core_.Context()->time_base, format_->streams[streamIndex_]->time_base);
    packet.stream_index = streamIndex_;
    if (!core_.Check(Ffmpeg().av_write_frame(format_, &packet))) return false;
    // An Ogg stream whose first audio page is also its last cannot tell
    // readers where its audio starts: the first page ends after two packets.
    if (core_.Packets() == 2 && (format_->oformat->flags & AVFMT_ALLOW_FLUSH) &&
        !core_.Check(Ffmpeg().av_write_frame(format_, nullptr)))
      return false;
    return true;
  }

  void Release() {
    core_.StopWriting();
    if (!FfmpegLoaded()) return;  // nothing was allocated
    if (format_ != nullptr && format_->pb != nullptr) Ffmpeg().avio_closep(&format_->pb);
    Ffmpeg().avformat_free_context(format_);
    format_ = nullptr;
    core_.Release();
  }

  const PcmLayout input_;
  EncoderCore core_;
  AVFormatContext* format_ = nullptr;
  int streamIndex_ = 0;
};

Encoder::Encoder(const EncoderSettings& settings, const PcmLayout& input, const std::string& fileName)
    : impl_(std::make_unique<Impl>(settings, input, fileName)) {}
Encoder::~Encoder() = default;
void Encoder::Write(const uint8_t* pcm, size_t bytes) { impl_->Write(pcm, bytes); }
EncodedLength Encoder::Finish() { return impl_->Finish(); }

}  // namespace media
