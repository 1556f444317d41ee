#include "platform/wmvcore.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "Ffmpeg.h"

#include "platform/ByteOrder.h"
#include "platform/Utf.h"
#include "platform/mp3_info.h"
#include "platform/wmvattributes.h"
#include "platform/wmvconvert.h"
#include "platform/wmvsource.h"
#include "platform/wmvwriter.h"

namespace wm {
namespace {

bool loaded = false;

class Buffer : public INSSBuffer {
 public:
  int32_t GetBufferAndLength(uint8_t** buffer, uint32_t* length) override {
    *buffer = bytes.data();
    *length = static_cast<uint32_t>(bytes.size());
    return S_OK;
  }
  std::vector<uint8_t> bytes;
};

class SyncReader : public IWMSyncReader, public IWMHeaderInfo, public std::enable_shared_from_this<SyncReader> {
 public:
  ~SyncReader() override { Close(); }

  int32_t OpenStream(std::shared_ptr<IStream> stream) override {
    Close();
    Ffmpeg().av_log_set_level(AV_LOG_QUIET);
    identity_ = stream ? stream->Identity() : std::string();
    if (!file_.Attach(std::move(stream))) return E_FAIL;
    if (!OpenDemuxer()) return Fail();
    if (isMp3_) {
      ReadMp3Header();
      if (mp3_.found && mp3_.firstFrame > mp3_.tagEnd) {
        // Junk between the tag and the first frame would make the demuxer
        // miss the Xing/LAME frame and decode it as audio: leave it out.
        CloseDemuxer();
        file_.Rewind();
        file_.SetGap(mp3_.tagEnd, mp3_.firstFrame - mp3_.tagEnd);
        if (!OpenDemuxer()) return Fail();
      }
    }
    if (isAsf_) {
      // A VBR WMA file says so in its header attributes.
      const AVDictionaryEntry* entry = Ffmpeg().av_dict_get(format_->metadata, "IsVBR", nullptr, 0);
      vbr_ = entry != nullptr && entry->value != nullptr && std::strcmp(entry->value, "0") != 0 &&
             std::strcmp(entry->value, "") != 0;
    }
    if (audioIndex_ >= 0) FindOrigin();
    // Where the headers cannot be taken at their word (a file cut short,
    // damage skipped, an info frame that counts other frames than the stream
    // holds), the length is what decodes.
    countedSamples_ = -1;
    if (audioIndex_ >= 0 && (isMp3_ ? Mp3CountsDoubtful() : isAsf_ && (file_.AsfCutShort() || AsfDurationDoubtful())))
      countedSamples_ = Remembered(countedCache_, [this] { return CountDecodedSamples(); });
    return S_OK;
  }

  int32_t GetOutputCount(uint32_t* count) override {
    if (!format_) return E_FAIL;
    *count = audioIndex_ >= 0 ? 1 : 0;
    return S_OK;
  }

  int32_t GetOutputProps(uint32_t output, MediaType* type) override {
    if (!ValidOutput(output)) return E_FAIL;
    *type = target_.major == MajorType::Audio ? target_ : Format(sourceChannels_, 16);
    return S_OK;
  }

  int32_t GetOutputFormatCount(uint32_t output, uint32_t* count) override {
    if (!ValidOutput(output)) return E_FAIL;
    *count = static_cast<uint32_t>(Formats().size());
    return S_OK;
  }

  int32_t GetOutputFormat(uint32_t output, uint32_t index, MediaType* type) override {
    if (!ValidOutput(output)) return E_FAIL;
    const auto formats = Formats();
    if (index >= formats.size()) return E_FAIL;
    *type = formats[index];
    return S_OK;
  }

  int32_t SetOutputSetting(uint32_t output, const std::u16string& name, AttrType, const uint8_t* value,
                           uint16_t length) override {
    if (!ValidOutput(output) || value == nullptr || length < 4) return E_FAIL;
    uint32_t number = 0;
    std::memcpy(&number, value, 4);
    if (name == u"EnableDiscreteOutput") discrete_ = number != 0;
    else if (name == u"SpeakerConfig") speakerConfig_ = number;
    else return E_FAIL;
    return S_OK;
  }

  int32_t SetOutputProps(uint32_t output, const MediaType& type) override {
    if (!ValidOutput(output) || type.major != MajorType::Audio) return E_FAIL;
    const auto formats = Formats();
    const bool offered = std::any_of(formats.begin(), formats.end(), [&](const MediaType& f) {
      return f.format.channels == type.format.channels && f.format.bitsPerSample == type.format.bitsPerSample &&
             f.format.samplesPerSec == type.format.samplesPerSec;
    });
    if (!offered) return E_FAIL;
    target_ = type;
    converter_.Reset();
    return S_OK;
  }

  int32_t GetStreamNumberForOutput(uint32_t output, uint16_t* stream) override {
    if (!ValidOutput(output)) return E_FAIL;
    *stream = 1;
    return S_OK;
  }

  int32_t SetReadStreamSamples(uint16_t stream, bool) override { return stream == 1 ? S_OK : E_FAIL; }

  int32_t GetNextSample(uint16_t stream, std::shared_ptr<INSSBuffer>* sample) override {
    if (stream != 1 || !decoder_ || target_.major != MajorType::Audio) return E_FAIL;
    auto buffer = std::make_shared<Buffer>();
    while (buffer->bytes.empty()) {
      if (!DecodeFrame()) return NS_E_NO_MORE_SAMPLES;
      converter_.Append(frame_, skipInFrame_, target_.format.channels, target_.format.bitsPerSample, decoder_->sample_rate,
                        buffer->bytes);
    }
    *sample = buffer;
    return S_OK;
  }

  int32_t SetRange(uint64_t start, int64_t) override {
    if (!decoder_) return E_FAIL;
    const int rate = decoder_->sample_rate;
    const int64_t target = static_cast<int64_t>(std::llround(static_cast<double>(start) * rate / 1e7));
    // A seek may land after the timestamp asked for (an ASF packet whose
    // first frame starts later, an estimated MP3 position): the frame it
    // lands on is checked, and the seek goes further back until that frame
    // starts at or before the target. From the very start, the gapless trim
    // of the first frames applies again.
    int64_t preroll = isMp3_ ? 9216 : 2048;
    // In a file whose length had to be counted by decoding, timestamps may not
    // match the decoded samples (skipped damage): decode from the start.
    const bool fromStartOnly = countedSamples_ >= 0;
    for (;;) {
      const int64_t from = target <= 0 || fromStartOnly ? 0 : std::max<int64_t>(0, target - preroll);
      if (!SeekDemuxer(from)) return E_FAIL;
      dropUntil_ = target;
      if (from == 0) return S_OK;
      if (ReceiveFrame()) {
        const int64_t first = FrameStart();
        if (first <= target) {
          position_ = first;
          pendingFrame_ = true;
          return S_OK;
        }
      }
      preroll *= 4;
    }
  }

  int32_t Close() override {
    CloseDemuxer();
    file_.Detach();
    return S_OK;
  }

  std::shared_ptr<IWMHeaderInfo> HeaderInfo() override {
    if (target_.major != MajorType::Audio) return nullptr;
    return std::shared_ptr<IWMHeaderInfo>(shared_from_this(), static_cast<IWMHeaderInfo*>(this));
  }

  int32_t GetAttributeByName(uint16_t*, const std::u16string& name, AttrType* type, uint8_t* value,
                             uint16_t* length) override {
    if (!format_ || length == nullptr) return E_FAIL;
    if (name == u"Duration") return NumberAttribute(AttrType::Qword, DurationIn100ns(), 8, type, value, length);
    if (name == u"Bitrate") return NumberAttribute(AttrType::Dword, Bitrate(), 4, type, value, length);
    if (name == u"IsVBR") return NumberAttribute(AttrType::Bool, vbr_ ? 1 : 0, 4, type, value, length);
    return TextAttribute(MetadataText(format_, audioIndex_, name), type, value, length);
  }

 private:
  bool OpenDemuxer() {
    constexpr int kIoBuffer = 64 * 1024;
    auto* ioBuffer = static_cast<uint8_t*>(Ffmpeg().av_malloc(kIoBuffer));
    io_ = Ffmpeg().avio_alloc_context(ioBuffer, kIoBuffer, 0, &file_, &SourceFile::ReadPacket, nullptr, &SourceFile::Seek);
    format_ = Ffmpeg().avformat_alloc_context();
    if (!io_ || !format_) return false;
    format_->pb = io_;
    format_->flags |= AVFMT_FLAG_CUSTOM_IO;
    if (Ffmpeg().avformat_open_input(&format_, nullptr, nullptr, nullptr) < 0) {
      format_ = nullptr;  // freed by the failed open
      return false;
    }
    if (Ffmpeg().avformat_find_stream_info(format_, nullptr) < 0) return false;
    audioIndex_ = Ffmpeg().av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    isMp3_ = std::strstr(format_->iformat->name, "mp3") != nullptr;
    isAsf_ = std::strstr(format_->iformat->name, "asf") != nullptr;
    return audioIndex_ < 0 || OpenDecoder();
  }

  void CloseDemuxer() {
    converter_.Reset();
    Ffmpeg().avcodec_free_context(&decoder_);
    if (format_) Ffmpeg().avformat_close_input(&format_);
    if (io_) {
      Ffmpeg().av_freep(&io_->buffer);
      Ffmpeg().avio_context_free(&io_);
    }
    Ffmpeg().av_frame_free(&frame_);
    Ffmpeg().av_packet_free(&packet_);
    audioIndex_ = -1;
  }

  /// Decodes the whole stream once, as GetNextSample would deliver it, and
  /// goes back to the start.
  int64_t CountDecodedSamples() {
    dropUntil_ = 0;
    position_ = 0;
    int64_t total = 0;
    while (DecodeFrame()) total += frame_->nb_samples - skipInFrame_;
    Ffmpeg().av_frame_unref(frame_);
    SetRange(0, 0);
    return total;
  }

  int32_t Fail() {
    Close();
    return E_FAIL;
  }

  bool ValidOutput(uint32_t output) const { return format_ != nullptr && audioIndex_ >= 0 && output == 0; }

  bool OpenDecoder() {
    const AVCodecParameters* parameters = format_->streams[audioIndex_]->codecpar;
    const AVCodec* codec = Ffmpeg().avcodec_find_decoder(parameters->codec_id);
    if (!codec) return false;
    decoder_ = Ffmpeg().avcodec_alloc_context3(codec);
    if (!decoder_ || Ffmpeg().avcodec_parameters_to_context(decoder_, parameters) < 0 || Ffmpeg().avcodec_open2(decoder_, codec, nullptr) < 0)
      return false;
    frame_ = Ffmpeg().av_frame_alloc();
    packet_ = Ffmpeg().av_packet_alloc();
    sourceChannels_ = decoder_->ch_layout.nb_channels;
    if (sourceChannels_ <= 0 || decoder_->sample_rate <= 0) return false;
    return frame_ && packet_;
  }

  /// The ASF header's play duration against the packets' own clock: a header
  /// that ends before the last packet starts, or well after it, is not believed.
  bool AsfDurationDoubtful() {
    if (frameSamples_ <= 0) return false;
    const int rate = decoder_->sample_rate;
    const int64_t claimed = static_cast<int64_t>(std::llround(static_cast<double>(DurationIn100ns()) * rate / 1e7));
    const int64_t lastPts = Remembered(lastPtsCache_, [this] {
      int64_t last = AV_NOPTS_VALUE;
      while (Ffmpeg().av_read_frame(format_, packet_) >= 0) {
        if (packet_->stream_index == audioIndex_ && packet_->pts != AV_NOPTS_VALUE) last = std::max(last, packet_->pts);
        Ffmpeg().av_packet_unref(packet_);
      }
      SeekDemuxer(0);
      return last;
    });
    if (lastPts == AV_NOPTS_VALUE) return false;
    const int64_t lastStart = GridSample(lastPts) - originSamples_;
    constexpr int kMostFramesInAPacket = 16;
    return claimed <= lastStart || claimed > lastStart + kMostFramesInAPacket * int64_t{frameSamples_};
  }

  /// What reading the whole file told, remembered for the file while it is
  /// unchanged: every reader of one file (a window's length, its waveform's
  /// threads) would otherwise read it through again.
  using Memory = std::map<std::string, int64_t>;
  int64_t Remembered(Memory& memory, const std::function<int64_t()>& read) {
    static std::mutex lock;
    if (!identity_.empty()) {
      std::lock_guard hold(lock);
      if (const auto known = memory.find(identity_); known != memory.end()) return known->second;
    }
    const int64_t value = read();
    if (!identity_.empty()) {
      std::lock_guard hold(lock);
      if (memory.size() > 64) memory.clear();  // a few files' worth is plenty
      memory[identity_] = value;
    }
    return value;
  }
  static inline Memory lastPtsCache_, countedCache_;

  bool Mp3CountsDoubtful() const {
    return mp3_.truncated || mp3_.damaged || (mp3_.infoFrames != 0 && mp3_.infoFrames != mp3_.frames);
  }

  void ReadMp3Header() {
    mp3_ = ReadMp3Info([this](int64_t offset, void* into, int64_t count) { return file_.ReadAt(offset, into, count); },
                       file_.Size());
    vbr_ = mp3_.vbr;
  }

  /// Where sample 0 of what the reader delivers lies on the stream's clock:
  /// an MP3's start time is after its encoder delay; a WMA decoder eats its
  /// first frames, so sample 0 is where the first decoded frame starts.
  void FindOrigin() {
    AVStream* audio = format_->streams[audioIndex_];
    origin_ = audio->start_time != AV_NOPTS_VALUE ? audio->start_time : 0;
    originSamples_ = 0;
    if (!isAsf_) return;
    dropUntil_ = 0;
    position_ = 0;
    if (DecodeFrame()) {
      frameSamples_ = decoder_->frame_size > 0 ? decoder_->frame_size : frame_->nb_samples;
      if (frame_->best_effort_timestamp != AV_NOPTS_VALUE) originSamples_ = GridSample(frame_->best_effort_timestamp);
    }
    Ffmpeg().av_frame_unref(frame_);
    SeekDemuxer(0);
  }

  /// A WMA timestamp (milliseconds) as the sample where its codec frame starts.
  int64_t GridSample(int64_t pts) const {
    const int64_t sample = Ffmpeg().av_rescale_q(pts, format_->streams[audioIndex_]->time_base, AVRational{1, decoder_->sample_rate});
    const int grid = frameSamples_;
    return grid > 0 ? (sample + grid / 2) / grid * grid : sample;
  }

  MediaType Format(int channels, int bits) const { return PcmMediaType(channels, decoder_->sample_rate, bits); }

  /// The source layout first, then mono, stereo, 5.1 and 7.1; 24 and 32 bits when discrete.
  std::vector<MediaType> Formats() const {
    std::vector<MediaType> formats;
    std::vector<int> layouts = {sourceChannels_};
    for (int channels : {1, 2, 6, 8})
      if (channels != sourceChannels_) layouts.push_back(channels);
    std::vector<int> depths = {16};
    if (discrete_) depths.insert(depths.end(), {24, 32});
    for (int bits : depths)
      for (int channels : layouts) formats.push_back(Format(channels, bits));
    return formats;
  }

  /// Moves the demuxer to `from` (a sample of what the reader delivers) or
  /// before it and forgets everything decoded so far.
  bool SeekDemuxer(int64_t from) {
    AVStream* audio = format_->streams[audioIndex_];
    const int64_t timestamp =
        from == 0 ? 0
                  : origin_ + Ffmpeg().av_rescale_q(from + originSamples_, AVRational{1, decoder_->sample_rate},
                                                    audio->time_base);
    if (Ffmpeg().av_seek_frame(format_, audioIndex_, timestamp, AVSEEK_FLAG_BACKWARD) < 0 &&
        Ffmpeg().av_seek_frame(format_, audioIndex_, timestamp, AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_ANY) < 0)
      return false;
    Ffmpeg().avcodec_flush_buffers(decoder_);
    converter_.Reset();
    draining_ = false;
    ended_ = false;
    pendingFrame_ = false;
    position_ = from == 0 ? 0 : -1;  // unknown until the first frame tells
    return true;
  }

  /// Decodes the next frame into frame_, dropping what lies before a range start.
  bool DecodeFrame() {
    for (;;) {
      if (pendingFrame_) pendingFrame_ = false;
      else if (!ReceiveFrame()) return false;
      if (AcceptFrame()) return true;
    }
  }

  /// Decodes the next frame into frame_ as it comes.
  bool ReceiveFrame() {
    for (;;) {
      const int received = Ffmpeg().avcodec_receive_frame(decoder_, frame_);
      if (received == 0) return true;
      if (received == AVERROR_EOF || ended_) return false;
      if (draining_) {
        ended_ = true;
        return false;
      }
      // Feed the decoder one more packet of our stream.
      for (;;) {
        const int read = Ffmpeg().av_read_frame(format_, packet_);
        if (read < 0) {
          Ffmpeg().avcodec_send_packet(decoder_, nullptr);
          draining_ = true;
          break;
        }
        const bool ours = packet_->stream_index == audioIndex_;
        if (ours) Ffmpeg().avcodec_send_packet(decoder_, packet_);  // a damaged packet is skipped
        Ffmpeg().av_packet_unref(packet_);
        if (ours) break;
      }
    }
  }

  /// The sample where frame_ starts: counted on from the previous frame, or,
  /// after a seek, told by the frame's timestamp.
  int64_t FrameStart() const {
    if (position_ >= 0) return position_;
    const int64_t pts = frame_->best_effort_timestamp;
    if (pts == AV_NOPTS_VALUE) return dropUntil_;
    if (isAsf_) return GridSample(pts) - originSamples_;  // millisecond stamps, whole frames
    AVStream* audio = format_->streams[audioIndex_];
    return Ffmpeg().av_rescale_q(pts - origin_, audio->time_base, AVRational{1, decoder_->sample_rate});
  }

  /// Trims the frame to the samples at or after dropUntil_; false when none are left.
  bool AcceptFrame() {
    const int64_t start = FrameStart();
    position_ = start + frame_->nb_samples;
    skipInFrame_ = static_cast<int>(std::clamp<int64_t>(dropUntil_ - start, 0, frame_->nb_samples));
    return skipInFrame_ < frame_->nb_samples;
  }

  int64_t DurationIn100ns() const {
    if (!decoder_) return 0;
    if (countedSamples_ >= 0)
      return static_cast<int64_t>(std::llround(static_cast<double>(countedSamples_) * 1e7 / decoder_->sample_rate));
    if (const int64_t written = WrittenSampleCount(); written > 0)
      return static_cast<int64_t>(std::llround(static_cast<double>(written) * 1e7 / decoder_->sample_rate));
    if (isMp3_ && mp3_.found && mp3_.sampleRate > 0)
      return static_cast<int64_t>(std::llround(static_cast<double>(mp3_.Samples()) * 1e7 / mp3_.sampleRate));
    const AVStream* audio = format_->streams[audioIndex_];
    if (audio->duration != AV_NOPTS_VALUE && audio->duration > 0) {
      const int rate = decoder_->sample_rate;
      const int frame = frameSamples_;
      if (isAsf_ && frame > 0) {
        // Millisecond stamps, whole codec frames, the first of them eaten by the decoder.
        const int64_t samples = Ffmpeg().av_rescale_q(audio->duration, audio->time_base, AVRational{1, rate});
        const int64_t frames = std::max<int64_t>(0, (samples + frame / 2) / frame - 1);
        return static_cast<int64_t>(std::llround(static_cast<double>(frames * frame) * 1e7 / rate));
      }
      return Ffmpeg().av_rescale_q(audio->duration, audio->time_base, AVRational{1, 10000000});
    }
    return format_->duration > 0 ? format_->duration * 10 : 0;
  }

  /// The frame count our writer records in a WMA file it made; 0 when absent.
  int64_t WrittenSampleCount() const {
    if (!isAsf_) return 0;
    const AVDictionaryEntry* entry = Ffmpeg().av_dict_get(format_->metadata, kSampleCountAttribute, nullptr, 0);
    return entry != nullptr && entry->value != nullptr ? std::strtoll(entry->value, nullptr, 10) : 0;
  }

  int64_t Bitrate() const {
    if (isMp3_ && mp3_.found && !mp3_.vbr && mp3_.firstBitrate > 0) return mp3_.firstBitrate;
    // The stream's declared rate (what a WMA was encoded at) before the container's average.
    const int64_t declared = audioIndex_ >= 0 ? format_->streams[audioIndex_]->codecpar->bit_rate : 0;
    const int64_t rate = !isMp3_ && declared > 0 ? declared : format_->bit_rate > 0 ? format_->bit_rate : declared;
    return std::clamp<int64_t>(rate, 0, INT32_MAX);
  }

  SourceFile file_;
  int64_t countedSamples_ = -1;  // from decoding a file cut short; -1 when the header is trusted
  std::string identity_;         // the file's, for what reading it whole told
  AVIOContext* io_ = nullptr;
  AVFormatContext* format_ = nullptr;
  AVCodecContext* decoder_ = nullptr;
  FrameConverter converter_;
  AVFrame* frame_ = nullptr;
  AVPacket* packet_ = nullptr;
  int audioIndex_ = -1;
  int sourceChannels_ = 0;
  bool isMp3_ = false;
  bool isAsf_ = false;
  Mp3Info mp3_;
  bool vbr_ = false;
  bool discrete_ = false;
  uint32_t speakerConfig_ = 0;
  MediaType target_;
  bool draining_ = false;
  bool ended_ = false;
  int64_t dropUntil_ = 0;
  int64_t position_ = 0;  // sample index of the next decoded frame; -1 unknown
  int64_t origin_ = 0;         // stream timestamp of sample 0
  int64_t originSamples_ = 0;  // WMA: sample of the first decoded frame on the stream's clock
  int frameSamples_ = 0;       // WMA: samples per codec frame
  int skipInFrame_ = 0;
  bool pendingFrame_ = false;  // frame_ was decoded by a seek and not yet delivered
};

}  // namespace

MediaType PcmMediaType(int channels, int rate, int bits) {
  MediaType type;
  type.major = MajorType::Audio;
  type.isWaveFormatEx = true;
  type.format.formatTag = WAVE_FORMAT_PCM;
  type.format.channels = static_cast<uint16_t>(channels);
  type.format.samplesPerSec = static_cast<uint32_t>(rate);
  type.format.bitsPerSample = static_cast<uint16_t>(bits);
  type.format.blockAlign = static_cast<uint16_t>(channels * bits / 8);
  type.format.avgBytesPerSec = type.format.samplesPerSec * type.format.blockAlign;
  return type;
}

void LoadWMLibrary() { loaded = true; }
void UnloadWMLibrary() { loaded = false; }
bool WMLibraryLoaded() { return loaded; }

int32_t WMCreateSyncReader(void*, uint32_t, std::shared_ptr<IWMSyncReader>* reader) {
  if (reader == nullptr) return E_FAIL;
  *reader = std::make_shared<SyncReader>();
  return S_OK;
}

}  // namespace wm
