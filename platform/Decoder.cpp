#include "platform/Decoder.h"
#include "platform/Error.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "Ffmpeg.h"

#include "platform/DecoderInput.h"
#include "platform/FlacFrames.h"
#include "platform/PcmConverter.h"
#include "platform/WmaEncoder.h"

namespace media {
namespace {

/// What reading a whole file told, remembered for the file while it is
/// unchanged: every reader of one file (a window's length, its waveform's
/// threads) would otherwise read it through again.
using Memory = std::map<std::string, int64_t>;
int64_t Remembered(Memory& memory, const std::string& identity, const std::function<int64_t()>& read) {
  static std::mutex lock;
  if (!identity.empty()) {
    std::lock_guard hold(lock);
    if (const auto known = memory.find(identity); known != memory.end()) return known->second;
  }
  const int64_t value = read();
  if (!identity.empty()) {
    std::lock_guard hold(lock);
    if (memory.size() > 64) memory.clear();  // a few files' worth is plenty
    memory[identity] = value;
  }
  return value;
}
Memory lastPtsMemory, countedMemory, confirmedMemory;

/// The decoder's input from its base on, as a byte source.
class InputBytes : public ByteSource {
 public:
  explicit InputBytes(DecoderInput& input) : input_(input) {}
  int64_t ReadAt(int64_t offset, void* into, int64_t count) override { return input_.ReadAt(offset, into, count); }
  int64_t Size() override { return input_.Size(); }

 private:
  DecoderInput& input_;
};

}  // namespace

struct Decoder::State {
  State(std::shared_ptr<ByteSource> source, int64_t base) : file(std::move(source), base) {
    Ffmpeg().av_log_set_level(AV_LOG_QUIET);
    identity = file.Source().Identity();
    try {
      Open();
    } catch (...) {
      Close();  // a constructor that throws gets no destructor
      throw;
    }
  }
  ~State() { Close(); }

  void Open() {
    OpenDemuxer();
    if (std::strcmp(format->iformat->name, "flac") == 0) ReadFlacFrames();
    audioIndex = Ffmpeg().av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (audioIndex < 0) throw Error(ErrorKind::UnreadableFile, "The file holds no audio that can be read");
    isMp3 = std::strstr(format->iformat->name, "mp3") != nullptr;
    isAsf = std::strstr(format->iformat->name, "asf") != nullptr;
    oggVorbis = std::strcmp(format->iformat->name, "ogg") == 0 &&
                format->streams[audioIndex]->codecpar->codec_id == AV_CODEC_ID_VORBIS;
    OpenDecoder();
    if (isAsf) {
      // A VBR WMA file says so in its header attributes.
      const AVDictionaryEntry* entry = Ffmpeg().av_dict_get(format->metadata, "IsVBR", nullptr, 0);
      vbr = entry != nullptr && entry->value != nullptr && std::strcmp(entry->value, "0") != 0 &&
            std::strcmp(entry->value, "") != 0;
    }
    FindOrigin();
    byClock = !isMp3 && !isAsf;
    if (byClock) {
      position = -1;  // the first frame's timestamp tells where it lies
      // Priming before the stream's time 0 and padding after its end (Opus
      // pre-skip and end trimming, the MP4 edit list) are left out by the
      // clock, whether or not the demuxer marked them for the decoder. A
      // length guessed from the bit rate (ADTS) marks no end at all.
      const int64_t told = Frames();
      const bool guessed = format->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE;
      endSample = told > 0 && !guessed ? told : INT64_MAX;
    }
    // Where the headers cannot be taken at their word (a file cut short,
    // packets that disagree with the header's play duration) the length is
    // what decodes.
    if (isAsf && (file.AsfCutShort() || AsfDurationDoubtful() || !LengthConfirmed())) CountByDecoding();
    if (!isMp3 && !isAsf && !LengthConfirmed()) CountByDecoding();
  }

  void OpenDemuxer() {
    constexpr int kIoBuffer = 64 * 1024;
    DecoderInput::Seek(&file, 0, SEEK_SET);  // a demuxer opened again reads from the start
    auto* ioBuffer = static_cast<uint8_t*>(Ffmpeg().av_malloc(kIoBuffer));
    io = Ffmpeg().avio_alloc_context(ioBuffer, kIoBuffer, 0, &file, &DecoderInput::ReadPacket, nullptr, &DecoderInput::Seek);
    format = Ffmpeg().avformat_alloc_context();
    if (!io || !format) throw Error(ErrorKind::Failed, "Out of memory");
    format->pb = io;
    format->flags |= AVFMT_FLAG_CUSTOM_IO;
    if (const int opened = Ffmpeg().avformat_open_input(&format, nullptr, nullptr, nullptr); opened < 0) {
      format = nullptr;  // freed by the failed open
      throw Error(ErrorKind::UnreadableFile, OpenFailure(opened));
    }
    if (const int found = Ffmpeg().avformat_find_stream_info(format, nullptr); found < 0)
      throw Error(ErrorKind::UnreadableFile, OpenFailure(found));
  }

  /// Why the demuxer could not open the file. Demuxers report a header that
  /// ends early as an input/output error; when the disk read everything
  /// asked of it, the file is cut short, and that is what the user is told.
  std::string OpenFailure(int code) const {
    if ((code == AVERROR(EIO) || code == AVERROR_EOF) && file.RanOutCleanly())
      return "the file is cut short: it ends inside its header";
    return AvErrorText(code);
  }

  /// A native FLAC file's frames are placed by their own headers: junk
  /// between the metadata and the first frame is left out of the demuxer's
  /// view (its seek table counts from the first frame), and every packet's
  /// timestamp is the sample its frame header names.
  void ReadFlacFrames() {
    InputBytes bytes(file);
    const auto layout = ReadFlacLayout(bytes);
    if (!layout) return;
    flacNominalBlock = layout->nominalBlock;
    if (layout->firstFrame > layout->metadataEnd && file.GapBytes() == 0) {
      file.SetGap(layout->metadataEnd, layout->firstFrame - layout->metadataEnd);
      CloseDemuxer();
      OpenDemuxer();
    }
  }

  /// The sample a FLAC packet's frame header names; -1 when it has none.
  int64_t FlacPacketSample() const {
    const auto header = ParseFlacFrameHeader(packet->data, static_cast<size_t>(std::max(packet->size, 0)));
    if (!header) return -1;
    if (header->variableBlocks) return static_cast<int64_t>(header->number);
    return static_cast<int64_t>(header->number) * flacNominalBlock;
  }

  void CloseDemuxer() {
    if (format) Ffmpeg().avformat_close_input(&format);
    if (io) {
      Ffmpeg().av_freep(&io->buffer);
      Ffmpeg().avio_context_free(&io);
    }
  }

  /// Whether the length the container tells is where the audio really ends:
  /// its last second decodes to exactly that end. A file cut short, or one
  /// whose header counts other samples than it holds (an ASF play duration
  /// a few frames off), is not believed; an AAC stream without a container
  /// (ADTS) tells no length at all.
  bool LengthConfirmed() {
    if (std::strcmp(format->iformat->name, "aac") == 0) return false;
    return Remembered(confirmedMemory, identity, [this]() -> int64_t {
      const int64_t claimed = Frames();
      if (claimed <= 0) return 0;
      const int64_t from = std::max<int64_t>(0, claimed - decoder->sample_rate);
      int64_t delivered = 0;
      try {
        Seek(from);
        while (DecodeFrame()) delivered += frame->nb_samples - skipInFrame;
      } catch (const std::runtime_error&) {
        return 0;  // cannot be positioned there
      }
      Ffmpeg().av_frame_unref(frame);
      Seek(0);
      const int64_t end = from + delivered;
      // Our own WMA writer records the count it was given; its last codec
      // frames are filled up beyond that, which the reader leaves out.
      const bool recorded = WrittenSampleCount() == claimed && end > claimed && end - claimed <= 2 * frameSamples;
      return end == claimed || recorded ? 1 : 0;
    }) != 0;
  }

  void Close() {
    if (!FfmpegLoaded()) return;  // nothing was allocated
    converter.Reset();
    Ffmpeg().avcodec_free_context(&decoder);
    CloseDemuxer();
    Ffmpeg().av_frame_free(&frame);
    Ffmpeg().av_packet_free(&packet);
    audioIndex = -1;
  }

  void OpenDecoder() {
    const AVCodecParameters* parameters = format->streams[audioIndex]->codecpar;
    const AVCodec* codec = Ffmpeg().avcodec_find_decoder(parameters->codec_id);
    // Debian's FFmpeg decodes every codec the formats hold; another build may not.
    if (!codec)
      throw Error(ErrorKind::MissingLibrary, std::string("the installed FFmpeg has no decoder for its ") +
                                                 Ffmpeg().avcodec_get_name(parameters->codec_id) + " audio");
    decoder = Ffmpeg().avcodec_alloc_context3(codec);
    if (!frame) frame = Ffmpeg().av_frame_alloc();
    if (!packet) packet = Ffmpeg().av_packet_alloc();
    if (!decoder || !frame || !packet) throw Error(ErrorKind::Failed, "Out of memory");
    if (const int set = Ffmpeg().avcodec_parameters_to_context(decoder, parameters); set < 0)
      throw Error(ErrorKind::UnreadableFile, AvErrorText(set));
    // Where samples are placed by the clock, the priming the demuxer marks
    // is left out by its timestamps here, after a seek as at the start: the
    // codec library must not leave it out as well.
    if (!isMp3 && !isAsf) decoder->flags2 |= AV_CODEC_FLAG2_SKIP_MANUAL;
    if (const int opened = Ffmpeg().avcodec_open2(decoder, codec, nullptr); opened < 0)
      throw Error(ErrorKind::UnreadableFile, AvErrorText(opened));
    sourceChannels = decoder->ch_layout.nb_channels;
    if (sourceChannels <= 0 || decoder->sample_rate <= 0) throw Error(ErrorKind::UnreadableFile, "The audio has no channels or rate");
    if (outputChannels == 0) outputChannels = sourceChannels;
  }

  void CountByDecoding() {
    counted = Remembered(countedMemory, identity, [this] {
      if (byClock) SeekDemuxer(0);  // from the start, wherever a check before left off
      dropUntil = 0;
      position = byClock ? -1 : 0;  // as a run places the samples
      int64_t total = 0;
      while (DecodeFrame()) total += frame->nb_samples - skipInFrame;
      Ffmpeg().av_frame_unref(frame);
      return total;
    });
    Seek(0);
  }

  /// The ASF header's play duration against the packets' own clock: a header
  /// that ends before the last packet starts, or well after it, is not believed.
  bool AsfDurationDoubtful() {
    if (frameSamples <= 0) return false;
    const int rate = decoder->sample_rate;
    const int64_t claimed = static_cast<int64_t>(std::llround(static_cast<double>(HeaderDuration100ns()) * rate / 1e7));
    const int64_t lastPts = Remembered(lastPtsMemory, identity, [this] {
      int64_t last = AV_NOPTS_VALUE;
      while (Ffmpeg().av_read_frame(format, packet) >= 0) {
        if (packet->stream_index == audioIndex && packet->pts != AV_NOPTS_VALUE) last = std::max(last, packet->pts);
        Ffmpeg().av_packet_unref(packet);
      }
      SeekDemuxer(0);
      return last;
    });
    if (lastPts == AV_NOPTS_VALUE) return false;
    const int64_t lastStart = GridSample(lastPts) - originSamples;
    constexpr int kMostFramesInAPacket = 16;
    return claimed <= lastStart || claimed > lastStart + kMostFramesInAPacket * int64_t{frameSamples};
  }

  /// Where sample 0 of what is delivered lies on the stream's clock: an MP3's
  /// start time is after its encoder delay; a WMA decoder eats its first
  /// frames, so sample 0 is where the first decoded frame starts.
  void FindOrigin() {
    AVStream* audio = format->streams[audioIndex];
    origin = audio->start_time != AV_NOPTS_VALUE ? audio->start_time : 0;
    originSamples = 0;
    if (oggVorbis) {
      // A first frame later than the stream's start: the clock is a packet late
      // (see FrameStart), and no seek can trust it. Such a stream is one page
      // long, and is read from its start for any range.
      if (ReceiveFrame() && frame->best_effort_timestamp != AV_NOPTS_VALUE)
        clockLate = frame->best_effort_timestamp > origin;
      Ffmpeg().av_frame_unref(frame);
      SeekDemuxer(0);
      return;
    }
    if (!isAsf) return;
    dropUntil = 0;
    position = 0;
    if (DecodeFrame()) {
      frameSamples = decoder->frame_size > 0 ? decoder->frame_size : frame->nb_samples;
      if (frame->best_effort_timestamp != AV_NOPTS_VALUE) originSamples = GridSample(frame->best_effort_timestamp);
    }
    Ffmpeg().av_frame_unref(frame);
    SeekDemuxer(0);
  }

  /// A WMA timestamp (milliseconds) as the sample where its codec frame starts.
  int64_t GridSample(int64_t pts) const {
    const int64_t sample = Ffmpeg().av_rescale_q(pts, format->streams[audioIndex]->time_base, AVRational{1, decoder->sample_rate});
    const int grid = frameSamples;
    return grid > 0 ? (sample + grid / 2) / grid * grid : sample;
  }

  void Seek(int64_t target) {
    // A seek may land after the timestamp asked for (an ASF packet whose
    // first frame starts later, an estimated MP3 position): the frame it
    // lands on is checked, and the seek goes further back until that frame
    // starts at or before the target. From the very start, the gapless trim
    // of the first frames applies again.
    // Decoders of overlapping transforms need the frames before a point to
    // make it exactly (Opus says how long in its header).
    int64_t preroll = isMp3 ? 9216 : isAsf ? 2048 : 8192 + SeekPreroll();
    for (;;) {
      const int64_t from = target <= 0 || counted >= 0 || clockLate ? 0 : std::max<int64_t>(0, target - preroll);
      SeekDemuxer(from);
      dropUntil = target;
      if (from == 0) return;
      if (ReceiveFrame()) {
        const int64_t first = FrameStart();
        if (first <= target) {
          position = first;
          pendingFrame = true;
          return;
        }
      }
      preroll *= 4;
    }
  }

  int64_t SeekPreroll() const {
    const AVCodecParameters* audio = format->streams[audioIndex]->codecpar;
    return audio->seek_preroll > 0 ? audio->seek_preroll : 0;
  }

  /// Where the stream's first packet lies: before 0 when it primes the
  /// decoder (an MP4 file's first AAC frame), so a seek to the start decodes it again.
  int64_t FirstTimestamp() const {
    if (!byClock) return 0;
    const AVIndexEntry* first = Ffmpeg().avformat_index_get_entry(format->streams[audioIndex], 0);
    return first != nullptr ? std::min<int64_t>(first->timestamp, 0) : 0;
  }

  /// Moves the demuxer to `from` (a sample of what is delivered) or before it
  /// and forgets everything decoded so far.
  void SeekDemuxer(int64_t from) {
    AVStream* audio = format->streams[audioIndex];
    const int64_t timestamp =
        from == 0 ? FirstTimestamp()
                  : origin + Ffmpeg().av_rescale_q(from + originSamples, AVRational{1, decoder->sample_rate},
                                                   audio->time_base);
    if (Ffmpeg().av_seek_frame(format, audioIndex, timestamp, AVSEEK_FLAG_BACKWARD) < 0 &&
        Ffmpeg().av_seek_frame(format, audioIndex, timestamp, AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_ANY) < 0) {
      if (from != 0) throw Error(ErrorKind::Failed, "The file cannot be positioned");
      // Some demuxers cannot seek in a file of one frame; the start is where a new one begins.
      CloseDemuxer();
      OpenDemuxer();
    }
    if (from == 0) {
      // A fresh decoder from the start: some codecs (AAC's noise
      // substitution, AC-3's dither) draw from a generator that a flush
      // does not reset, and a decode from the start must give the file's
      // own samples, as any other decoder gives them.
      Ffmpeg().avcodec_free_context(&decoder);
      OpenDecoder();
    } else {
      Ffmpeg().avcodec_flush_buffers(decoder);
    }
    converter.Reset();
    draining = false;
    ended = false;
    pendingFrame = false;
    position = from == 0 && !byClock ? 0 : -1;  // unknown until the first frame tells
    fromStart = from == 0;
  }

  /// Decodes the next frame into `frame`, dropping what lies before a range start.
  bool DecodeFrame() {
    for (;;) {
      if (pendingFrame) pendingFrame = false;
      else if (!ReceiveFrame()) return false;
      if (AcceptFrame()) return true;
    }
  }

  /// Decodes the next frame into `frame` as it comes.
  bool ReceiveFrame() {
    for (;;) {
      const int received = Ffmpeg().avcodec_receive_frame(decoder, frame);
      if (received == 0) return true;
      if (received == AVERROR_EOF || ended) return false;
      if (draining) {
        ended = true;
        return false;
      }
      // Feed the decoder one more packet of our stream.
      for (;;) {
        const int read = Ffmpeg().av_read_frame(format, packet);
        if (read < 0) {
          Ffmpeg().avcodec_send_packet(decoder, nullptr);
          draining = true;
          break;
        }
        const bool ours = packet->stream_index == audioIndex;
        if (ours && flacNominalBlock > 0) {
          if (const int64_t sample = FlacPacketSample(); sample >= 0) {
            packet->pts = packet->dts = Ffmpeg().av_rescale_q(sample, AVRational{1, decoder->sample_rate},
                                                              format->streams[audioIndex]->time_base);
          }
        }
        if (ours) Ffmpeg().avcodec_send_packet(decoder, packet);  // a damaged packet is skipped
        Ffmpeg().av_packet_unref(packet);
        if (ours) break;
      }
    }
  }

  /// The sample where `frame` starts: counted on from the previous frame, or,
  /// after a seek, told by the frame's timestamp.
  int64_t FrameStart() const {
    if (position >= 0) return position;
    const int64_t pts = frame->best_effort_timestamp;
    if (pts == AV_NOPTS_VALUE) return dropUntil;
    if (isAsf) return GridSample(pts) - originSamples;  // millisecond stamps, whole frames
    AVStream* audio = format->streams[audioIndex];
    const int64_t start = Ffmpeg().av_rescale_q(pts - origin, audio->time_base, AVRational{1, decoder->sample_rate});
    // A Vorbis stream's first packet decodes to nothing, and where the first
    // page is also the last FFmpeg still counts it: every timestamp is then a
    // packet late, by a different amount after a seek to the start. Decoded
    // from the start, the first sample is the stream's first, as the
    // reference decoder has it; only priming before time 0 is left out.
    if (fromStart && oggVorbis) return std::min<int64_t>(start, 0);
    return start;
  }

  /// Trims the frame to the samples at or after dropUntil; false when none are left.
  bool AcceptFrame() {
    const int64_t start = FrameStart();
    position = start + frame->nb_samples;
    if (position > endSample) frame->nb_samples = static_cast<int>(std::max<int64_t>(0, endSample - start));
    skipInFrame = static_cast<int>(std::clamp<int64_t>(dropUntil - start, 0, frame->nb_samples));
    return skipInFrame < frame->nb_samples;
  }

  /// The length the headers tell, in 100 ns units.
  int64_t HeaderDuration100ns() const {
    const AVStream* audio = format->streams[audioIndex];
    if (audio->duration != AV_NOPTS_VALUE && audio->duration > 0) {
      const int rate = decoder->sample_rate;
      const int grid = frameSamples;
      if (isAsf && grid > 0) {
        // Millisecond stamps, whole codec frames, the first of them eaten by the decoder.
        const int64_t samples = Ffmpeg().av_rescale_q(audio->duration, audio->time_base, AVRational{1, rate});
        const int64_t frames = std::max<int64_t>(0, (samples + grid / 2) / grid - 1);
        return static_cast<int64_t>(std::llround(static_cast<double>(frames * grid) * 1e7 / rate));
      }
      return Ffmpeg().av_rescale_q(audio->duration, audio->time_base, AVRational{1, 10000000});
    }
    return format->duration > 0 ? format->duration * 10 : 0;
  }

  int64_t Frames() const {
    if (counted >= 0) return counted;
    if (const int64_t written = WrittenSampleCount(); written > 0) return written;
    const int64_t told = std::llround(static_cast<double>(HeaderDuration100ns()) * decoder->sample_rate / 1e7);
    // An Ogg Opus stream's length counts the pre-skip the decoder leaves
    // out; an MP4 file's edit list has left it out already.
    const AVCodecParameters* audio = format->streams[audioIndex]->codecpar;
    const bool ogg = std::strcmp(format->iformat->name, "ogg") == 0;
    return ogg && audio->codec_id == AV_CODEC_ID_OPUS ? std::max<int64_t>(0, told - audio->initial_padding) : told;
  }

  /// The frame count our writer records in a WMA file it made; 0 when absent.
  int64_t WrittenSampleCount() const {
    if (!isAsf) return 0;
    const AVDictionaryEntry* entry = Ffmpeg().av_dict_get(format->metadata, kSampleCountTag, nullptr, 0);
    return entry != nullptr && entry->value != nullptr ? std::strtoll(entry->value, nullptr, 10) : 0;
  }

  std::string Tag(const std::string& name) const {
    static const std::map<std::string, std::vector<const char*>> kKeys = {
        {"artist", {"artist", "Author"}},
        {"title", {"title"}},
        {"album", {"album", "WM/AlbumTitle"}},
        {"genre", {"genre", "WM/Genre"}},
        {"track", {"WM/TrackNumber", "track"}},
        {"year", {"WM/Year", "date", "year", "TYER"}},
        {"copyright", {"copyright"}},
        {"comment", {"comment", "Description"}},
    };
    const auto keys = kKeys.find(name);
    if (keys == kKeys.end()) return {};
    for (const char* key : keys->second)
      if (std::string value = Value(key); !value.empty()) return value;
    // WMA's older track attribute counts from 0.
    if (name == "track") {
      const std::string zeroBased = Value("WM/Track");
      char* end = nullptr;
      const long number = std::strtol(zeroBased.c_str(), &end, 10);
      if (!zeroBased.empty() && *end == '\0' && number >= 0 && number < 100000) return std::to_string(number + 1);
      return zeroBased;
    }
    return {};
  }

  /// A tag's value in the container or the audio stream; empty when absent.
  std::string Value(const char* key) const {
    for (AVDictionary* dictionary : {format->metadata, format->streams[audioIndex]->metadata}) {
      const AVDictionaryEntry* entry = Ffmpeg().av_dict_get(dictionary, key, nullptr, 0);
      if (entry && entry->value && entry->value[0]) return entry->value;
    }
    return {};
  }

  DecoderInput file;
  std::string identity;  // the file's, for what reading it whole told
  int64_t counted = -1;  // from decoding the whole file; -1 when the headers are believed
  AVIOContext* io = nullptr;
  AVFormatContext* format = nullptr;
  AVCodecContext* decoder = nullptr;
  PcmConverter converter;
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;
  int audioIndex = -1;
  int sourceChannels = 0;
  int outputChannels = 0;
  int outputBits = 16;
  bool outputFloat = false;
  bool isMp3 = false;
  bool isAsf = false;
  bool byClock = false;  // FLAC, Ogg, MP4: samples placed by their timestamps
  int64_t endSample = INT64_MAX;  // where the container says the audio ends
  bool vbr = false;
  bool draining = false;
  bool ended = false;
  int64_t dropUntil = 0;
  int64_t position = 0;       // sample index of the next decoded frame; -1 unknown
  int64_t origin = 0;         // stream timestamp of sample 0
  bool oggVorbis = false;
  bool clockLate = false;     // Ogg Vorbis on one page: ranges are read from the start
  bool fromStart = true;      // decoding from the start, not from a seek
  int64_t originSamples = 0;  // WMA: sample of the first decoded frame on the stream's clock
  int frameSamples = 0;       // WMA: samples per codec frame
  int flacNominalBlock = 0;   // native FLAC: every frame's block size but the last's
  int skipInFrame = 0;
  bool pendingFrame = false;  // `frame` was decoded by a seek and not yet delivered
};

Decoder::Decoder(std::shared_ptr<ByteSource> source, int64_t base) : state_(std::make_unique<State>(std::move(source), base)) {}
void PreloadDecoderLibraries() {
  try {
    Ffmpeg();
  } catch (const std::exception&) {
    // Said by the first use, with the file it was needed for.
  }
}

Decoder::~Decoder() = default;

std::string Decoder::Codec() const {
  return Ffmpeg().avcodec_get_name(state_->format->streams[state_->audioIndex]->codecpar->codec_id);
}

std::string Decoder::Container() const {
  const std::string name = state_->format->iformat->name;
  if (name.find("mp4") != std::string::npos) return "mp4";  // "mov,mp4,m4a,3gp,3g2,mj2"
  if (name == "aac") return "adts";
  return name.substr(0, name.find(','));
}

bool Decoder::IsMp3() const { return state_->isMp3; }
bool Decoder::IsAsf() const { return state_->isAsf; }

void Decoder::SkipBytes(int64_t at, int64_t bytes) {
  const int channels = state_->outputChannels, bits = state_->outputBits;
  const bool floating = state_->outputFloat;
  state_->Close();
  state_->file.SetGap(at, bytes);
  state_->Open();
  SetOutput(channels, bits, floating);
}

void Decoder::CountByDecoding() { state_->CountByDecoding(); }
int Decoder::SourceChannels() const { return state_->sourceChannels; }
int Decoder::SourceBits() const {
  const AVCodecParameters* audio = state_->format->streams[state_->audioIndex]->codecpar;
  // Plain PCM (AIFF, float AIFC) tells its width as the coded size.
  const bool pcm = audio->codec_id >= AV_CODEC_ID_PCM_S16LE && audio->codec_id < AV_CODEC_ID_ADPCM_IMA_QT;
  return audio->bits_per_raw_sample > 0 || !pcm ? audio->bits_per_raw_sample : audio->bits_per_coded_sample;
}
int Decoder::SampleRate() const { return state_->decoder->sample_rate; }

void Decoder::SetOutput(int channels, int bits, bool floating) {
  state_->outputChannels = channels;
  state_->outputBits = floating ? 32 : bits;
  state_->outputFloat = floating;
  state_->converter.Reset();
}

int64_t Decoder::Frames() const { return state_->Frames(); }

int64_t Decoder::Bitrate() const {
  // The stream's declared rate (what a WMA was encoded at) before the container's average.
  int64_t declared = state_->format->streams[state_->audioIndex]->codecpar->bit_rate;
  // A Vorbis stream made in quality mode may declare a nominal rate of -2
  // (read as 4,294,967,294): no audio stream has one near that, so it is none.
  constexpr int64_t kMostBitsPerSecond = 100'000'000;
  if (declared > kMostBitsPerSecond) declared = 0;
  const int64_t rate = !state_->isMp3 && declared > 0 ? declared : state_->format->bit_rate > 0 ? state_->format->bit_rate : declared;
  return std::clamp<int64_t>(rate, 0, INT32_MAX);
}

bool Decoder::IsVbr() const { return state_->vbr; }
std::string Decoder::Tag(const std::string& name) const { return state_->Tag(name); }

std::vector<Chapter> Decoder::Chapters() const {
  std::vector<Chapter> chapters;
  const AVFormatContext* format = state_->format;
  const AVRational samples = {1, SampleRate()};
  for (unsigned i = 0; format != nullptr && i < format->nb_chapters; ++i) {
    const AVChapter* chapter = format->chapters[i];
    const AVDictionaryEntry* title = Ffmpeg().av_dict_get(chapter->metadata, "title", nullptr, 0);
    chapters.push_back({Ffmpeg().av_rescale_q(chapter->start, chapter->time_base, samples),
                        Ffmpeg().av_rescale_q(chapter->end, chapter->time_base, samples),
                        title != nullptr && title->value != nullptr ? title->value : ""});
  }
  return chapters;
}

bool Decoder::Read(std::vector<uint8_t>& out) {
  State& s = *state_;
  out.clear();
  while (out.empty()) {
    if (!s.DecodeFrame()) return false;
    s.converter.Append(s.frame, s.skipInFrame, s.outputChannels, s.outputBits, s.decoder->sample_rate, out,
                       s.outputFloat);
  }
  return true;
}

void Decoder::Seek(int64_t frame) { state_->Seek(frame); }

}  // namespace media
