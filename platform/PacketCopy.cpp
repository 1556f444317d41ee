#include "platform/PacketCopy.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <stdexcept>
#include <utility>
#include <vector>

#include "Ffmpeg.h"
#include "platform/Error.h"
#include "platform/Mp4Boxes.h"

namespace media {

namespace {

/// A range this far into the file is reached by a seek; nearer, by reading from the start.
constexpr int64_t kSeekFrom = 1 << 16;

void Check(int result, const char* doing) {
  if (result < 0) throw Error(ErrorKind::Failed, std::string(doing) + ": " + AvErrorText(result));
}

}  // namespace

class PacketCopy::Impl {
 public:
  Impl(const std::string& source, const std::string& target, const std::string& muxer, int64_t start, int64_t end)
      : target_(target), start_(start), end_(end) {
    try {
      OpenSource(source);
      FindFirst();
      OpenTarget(target, muxer);
    } catch (...) {
      Release();
      throw;
    }
  }
  ~Impl() { Release(); }

  /// False once the packet holding the range's last sample is written.
  bool Step(int count, std::atomic<int>& percent) {
    for (int i = 0; i < count && !done_; ++i) {
      if (pending_.empty() && !ReadAudioPacket()) throw Error(ErrorKind::UnreadableFile, "the file ends before the range does");
      AVPacket* packet = pending_.front();
      pending_.pop_front();
      Write(*packet);
      Ffmpeg().av_packet_free(&packet);
      if (done_ && lastStart_ <= start_) FollowLastPacket();
    }
    percent = static_cast<int>(std::clamp<int64_t>((written_ - start_) * 100 / (end_ - start_), 0, 100));
    return !done_;
  }

  EncodedLength Finish() {
    Check(Ffmpeg().av_write_trailer(out_), "the file could not be completed");
    Check(Ffmpeg().avio_closep(&out_->pb), "the file could not be completed");
    // The muxer ends the edit with the last packet; the range ends within it.
    SetEditLength(target_, end_ - start_);
    EncodedLength length;
    length.samples = end_ - start_;
    length.priming = start_ - firstSample_;
    length.padding = lastEnd_ - end_;
    return length;
  }

 private:
  void OpenSource(const std::string& source) {
    Ffmpeg().av_log_set_level(AV_LOG_QUIET);
    if (const int opened = Ffmpeg().avformat_open_input(&in_, source.c_str(), nullptr, nullptr); opened < 0) {
      in_ = nullptr;
      throw Error(ErrorKind::UnreadableFile, AvErrorText(opened));
    }
    if (std::strstr(in_->iformat->name, "mp4") == nullptr)
      throw Error(ErrorKind::UnreadableFile, "not an MP4 file, whose packets an edit list could trim");
    Check(Ffmpeg().avformat_find_stream_info(in_, nullptr), "the file cannot be read");
    audio_ = Ffmpeg().av_find_best_stream(in_, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (audio_ < 0) throw Error(ErrorKind::UnreadableFile, "The file holds no audio that can be read");
    const AVStream& stream = *in_->streams[audio_];
    // AAC settles within the packet before; ALAC packets stand alone. Others (Opus in MP4) need more.
    if (stream.codecpar->codec_id != AV_CODEC_ID_AAC && stream.codecpar->codec_id != AV_CODEC_ID_ALAC)
      throw Error(ErrorKind::UnreadableFile, std::string("its ") + Ffmpeg().avcodec_get_name(stream.codecpar->codec_id) +
                                                 " packets are not copied, only AAC and ALAC");
    rate_ = stream.codecpar->sample_rate;
    if (rate_ <= 0) throw Error(ErrorKind::UnreadableFile, "The audio has no rate");
    origin_ = stream.start_time != AV_NOPTS_VALUE ? stream.start_time : 0;
    for (unsigned i = 0; i < in_->nb_streams; ++i)
      if (static_cast<int>(i) != audio_) in_->streams[i]->discard = AVDISCARD_ALL;
  }

  /// The sample of the source (as its reader counts them) a timestamp names.
  int64_t SampleOf(int64_t timestamp) const {
    return Ffmpeg().av_rescale_q(timestamp - origin_, in_->streams[audio_]->time_base, AVRational{1, rate_});
  }

  /// Reads the next audio packet into the pending ones; false at the end of the file.
  bool ReadAudioPacket() {
    AVPacket* packet = Ffmpeg().av_packet_alloc();
    if (packet == nullptr) throw Error(ErrorKind::Failed, "Out of memory");
    for (;;) {
      const int read = Ffmpeg().av_read_frame(in_, packet);
      if (read == AVERROR_EOF) {
        Ffmpeg().av_packet_free(&packet);
        return false;
      }
      if (read < 0) {
        Ffmpeg().av_packet_free(&packet);
        throw Error(ErrorKind::UnreadableFile, "a packet cannot be read (" + AvErrorText(read) + ")");
      }
      if (packet->stream_index == audio_ && packet->pts != AV_NOPTS_VALUE) break;
      Ffmpeg().av_packet_unref(packet);
    }
    pending_.push_back(packet);
    return true;
  }

  void DropPending() {
    for (AVPacket* packet : pending_) Ffmpeg().av_packet_free(&packet);
    pending_.clear();
  }

  /// Leaves in the pending packets the one before the packet that holds the
  /// range's first sample (when there is one) and that packet.
  void FindFirst() {
    const bool seek = start_ > kSeekFrom;
    if (seek) {
      const int64_t at = origin_ + Ffmpeg().av_rescale_q(start_ - kSeekFrom / 2, AVRational{1, rate_}, in_->streams[audio_]->time_base);
      Check(Ffmpeg().av_seek_frame(in_, audio_, at, AVSEEK_FLAG_BACKWARD), "the file cannot be positioned");
    }
    for (;;) {
      if (!ReadAudioPacket()) throw Error(ErrorKind::UnreadableFile, "the file ends before the range starts");
      const AVPacket& packet = *pending_.back();
      const int64_t sample = SampleOf(packet.pts);
      if (sample > start_ && (pending_.size() == 1 || seek))
        throw Error(ErrorKind::UnreadableFile, "its packets do not reach back to the range's start");
      if (sample + SampleOf(origin_ + packet.duration) > start_) break;
      while (pending_.size() > 1) {
        AVPacket* old = pending_.front();
        pending_.pop_front();
        Ffmpeg().av_packet_free(&old);
      }
    }
    firstSample_ = SampleOf(pending_.front()->pts);
  }

  void OpenTarget(const std::string& target, const std::string& muxer) {
    Check(Ffmpeg().avformat_alloc_output_context2(&out_, nullptr, muxer.c_str(), nullptr), "the file cannot be written");
    out_->strict_std_compliance = FF_COMPLIANCE_EXPERIMENTAL;
    AVStream* stream = Ffmpeg().avformat_new_stream(out_, nullptr);
    if (stream == nullptr) throw Error(ErrorKind::Failed, "Out of memory");
    Check(Ffmpeg().avcodec_parameters_copy(stream->codecpar, in_->streams[audio_]->codecpar), "the file cannot be written");
    stream->codecpar->codec_tag = 0;  // the muxer's own for the codec
    stream->time_base = AVRational{1, rate_};
    Check(Ffmpeg().avio_open(&out_->pb, target.c_str(), AVIO_FLAG_WRITE), "the file cannot be made");
    CopyChapters();
    // A movie on the audio's own clock: the edit list ends on the exact sample.
    AVDictionary* options = nullptr;
    Ffmpeg().av_dict_set(&options, "movie_timescale", std::to_string(rate_).c_str(), 0);
    const int written = Ffmpeg().avformat_write_header(out_, &options);
    Ffmpeg().av_dict_free(&options);
    Check(written, "the file cannot be written");
  }

  /// The source's chapters that lie in the range, on the result's clock: one
  /// that a boundary cuts starts at the range's start (or ends at its end).
  /// avformat_free_context frees them with the context.
  void CopyChapters() {
    const AVRational clock{1, rate_};
    std::vector<std::pair<int64_t, int64_t>> kept(in_->nb_chapters, {0, 0});
    unsigned count = 0;
    for (unsigned i = 0; i < in_->nb_chapters; ++i) {
      const AVChapter& from = *in_->chapters[i];
      kept[i] = {std::max(Ffmpeg().av_rescale_q(from.start, from.time_base, clock), start_),
                 std::min(Ffmpeg().av_rescale_q(from.end, from.time_base, clock), end_)};
      if (kept[i].second > kept[i].first) ++count;
    }
    if (count == 0) return;
    out_->chapters = static_cast<AVChapter**>(Ffmpeg().av_mallocz(count * sizeof(AVChapter*)));
    if (out_->chapters == nullptr) throw Error(ErrorKind::Failed, "Out of memory");
    for (unsigned i = 0; i < in_->nb_chapters; ++i) {
      if (kept[i].second <= kept[i].first) continue;
      auto* chapter = static_cast<AVChapter*>(Ffmpeg().av_mallocz(sizeof(AVChapter)));
      if (chapter == nullptr) throw Error(ErrorKind::Failed, "Out of memory");
      out_->chapters[out_->nb_chapters++] = chapter;
      chapter->id = out_->nb_chapters;
      chapter->time_base = clock;
      chapter->start = kept[i].first - start_;
      chapter->end = kept[i].second - start_;
      const AVDictionaryEntry* entry = nullptr;
      while ((entry = Ffmpeg().av_dict_get(in_->chapters[i]->metadata, "", entry, AV_DICT_IGNORE_SUFFIX)) != nullptr)
        Ffmpeg().av_dict_set(&chapter->metadata, entry->key, entry->value, 0);
    }
  }

  void Write(AVPacket& packet) {
    const int64_t sample = SampleOf(packet.pts);
    const int64_t decodeSample = packet.dts != AV_NOPTS_VALUE ? SampleOf(packet.dts) : sample;
    const int64_t duration = SampleOf(origin_ + packet.duration);
    if (sample < written_)
      throw Error(ErrorKind::UnreadableFile, "its packets overlap, so an edit list cannot place them");
    lastStart_ = sample;
    lastEnd_ = written_ = sample + duration;
    done_ = lastEnd_ >= end_;
    // On the result's clock, whose sample 0 is the range's first: the pre-roll lies before it.
    const AVRational clock{1, rate_}, timeBase = out_->streams[0]->time_base;
    packet.pts = Ffmpeg().av_rescale_q(sample - start_, clock, timeBase);
    packet.dts = Ffmpeg().av_rescale_q(decodeSample - start_, clock, timeBase);
    packet.duration = Ffmpeg().av_rescale_q(duration, clock, timeBase);
    packet.stream_index = 0;
    packet.pos = -1;
    packet.flags &= ~AV_PKT_FLAG_DISCARD;
    Ffmpeg().av_packet_free_side_data(&packet);  // the source's trimming: the edit list says it now
    Check(Ffmpeg().av_write_frame(out_, &packet), "the file cannot be written");
  }

  /// FFmpeg's demuxer takes an edit's length for the last packet's, so an
  /// edit that starts further into the last packet than it lasts (a range
  /// inside one packet) would be dropped whole: the source's next packet
  /// follows, and the edit list leaves it out.
  void FollowLastPacket() {
    if (pending_.empty() && !ReadAudioPacket()) {
      if (start_ - lastStart_ < end_ - start_) return;
      throw Error(ErrorKind::UnreadableFile, "a range this short inside the last packet cannot be marked so that players find it");
    }
    AVPacket* packet = pending_.front();
    pending_.pop_front();
    Write(*packet);
    Ffmpeg().av_packet_free(&packet);
  }

  void Release() {
    DropPending();
    if (!FfmpegLoaded()) return;
    if (out_ != nullptr && out_->pb != nullptr) Ffmpeg().avio_closep(&out_->pb);
    if (out_ != nullptr) Ffmpeg().avformat_free_context(out_);
    out_ = nullptr;
    if (in_ != nullptr) Ffmpeg().avformat_close_input(&in_);
  }

  const std::string target_;
  const int64_t start_, end_;
  AVFormatContext* in_ = nullptr;
  AVFormatContext* out_ = nullptr;
  int audio_ = -1;
  int rate_ = 0;
  int64_t origin_ = 0;
  std::deque<AVPacket*> pending_;
  int64_t firstSample_ = 0, lastStart_ = 0, lastEnd_ = 0;
  int64_t written_ = INT64_MIN;
  bool done_ = false;
};

PacketCopy::PacketCopy(const std::string& source, const std::string& target, const std::string& muxer, int64_t start,
                       int64_t end) {
  if (start < 0 || end <= start) throw Error(ErrorKind::Failed, "The range holds no samples");
  impl_ = std::make_unique<Impl>(source, target, muxer, start, end);
}

PacketCopy::~PacketCopy() = default;

bool PacketCopy::Step(int packets) { return impl_->Step(packets, percent_); }

EncodedLength PacketCopy::Finish() { return impl_->Finish(); }

}  // namespace media
