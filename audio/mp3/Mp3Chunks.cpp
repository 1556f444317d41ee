#include "audio/mp3/Mp3Chunks.h"
#include "platform/Error.h"

#include <algorithm>
#include <stdexcept>

#include "audio/mp3/frames/InfoFrame.h"
#include "audio/mp3/frames/Mp3Info.h"

namespace {

constexpr size_t kWarmUpFrames = 8;   // encoded before a chunk and dropped
constexpr size_t kAfterFrames = 4;    // fed after a chunk, so that its last frame is whole

int ChannelsOf(const media::LameSettings& settings) {
  return settings.mode == media::LameSettings::Mode::Mono ? 1 : 2;
}

}  // namespace

bool Mp3Chunks::Suits(const media::LameSettings& settings) {
  if (settings.bitReservoir) return false;
  const media::LameEncoder probe(settings);
  // LAME resampling a low bit rate down would put the chunks off the input's grid.
  return probe.OutputRate() == settings.sampleRate;
}

Mp3Chunks::Mp3Chunks(const media::LameSettings& settings, int threads, Sink sink)
    : settings_(settings), channels_(ChannelsOf(settings)), sink_(std::move(sink)) {
  {
    const media::LameEncoder probe(settings_);
    frameSamples_ = static_cast<size_t>(probe.FrameSamples());
    delay_ = probe.Delay();
  }
  chunkFrames_ = std::max<size_t>(1, static_cast<size_t>(settings.sampleRate) * kMp3ChunkSeconds / frameSamples_);
  threads = std::clamp(threads, 1, kMostThreads);
  maxInFlight_ = static_cast<size_t>(threads) + 1;
  for (int i = 0; i < threads; ++i) workers_.emplace_back([this] { Work(); });
}

Mp3Chunks::~Mp3Chunks() {
  {
    std::lock_guard hold(lock_);
    stopping_ = true;
  }
  changed_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

void Mp3Chunks::Write(const int16_t* pcm, size_t frames) {
  pending_.insert(pending_.end(), pcm, pcm + frames * static_cast<size_t>(channels_));
  samples_ += static_cast<int64_t>(frames);
  // A chunk goes once the frames after it are there too.
  while (pendingStart_ + pending_.size() / static_cast<size_t>(channels_) >=
         chunkStart_ + (chunkFrames_ + kAfterFrames) * frameSamples_)
    Dispatch(false);
}

std::vector<uint8_t> Mp3Chunks::Finish() {
  Dispatch(true);
  while (delivered_ < dispatched_) DeliverOldest();
  if (frameLengths_.empty()) throw Error(ErrorKind::Failed, "LAME made no frames");
  Mp3FrameHeader like;
  ParseMp3FrameHeader(firstHeader_.data(), like);
  InfoFrameFields fields;
  fields.vbr = settings_.vbr;
  fields.frames = static_cast<uint32_t>(frameLengths_.size());
  fields.bytes = static_cast<uint32_t>(roomBytes_ + audioBytes_);
  fields.toc = MakeToc(frameLengths_, static_cast<uint32_t>(roomBytes_));
  fields.delay = delay_;
  fields.padding = static_cast<int>(static_cast<int64_t>(frameLengths_.size() * frameSamples_) - samples_ - delay_);
  fields.musicCrc = musicCrc_;
  return MakeInfoFrame(like, firstHeader_.data(), fields);
}

void Mp3Chunks::Dispatch(bool last) {
  const auto ch = static_cast<size_t>(channels_);
  Chunk chunk;
  chunk.index = dispatched_;
  chunk.dropFrames = (chunkStart_ - pendingStart_) / frameSamples_;
  chunk.keepFrames = last ? 0 : chunkFrames_;
  const size_t end = last ? pending_.size() : (chunkStart_ + (chunkFrames_ + kAfterFrames) * frameSamples_ - pendingStart_) * ch;
  chunk.pcm.assign(pending_.begin(), pending_.begin() + static_cast<long>(end));
  if (!last) {
    // The next chunk starts where this one's frames end, its warm-up in front.
    chunkStart_ += chunkFrames_ * frameSamples_;
    const size_t nextStart = chunkStart_ - std::min(chunkStart_, kWarmUpFrames * frameSamples_);
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>((nextStart - pendingStart_) * ch));
    pendingStart_ = nextStart;
  }
  {
    std::lock_guard hold(lock_);
    queue_.push_back(std::move(chunk));
  }
  changed_.notify_all();
  ++dispatched_;
  // Memory stays bounded: no more chunks in flight than the workers and one more.
  while (dispatched_ - delivered_ > maxInFlight_) DeliverOldest();
}

void Mp3Chunks::Work() {
  for (;;) {
    Chunk chunk;
    {
      std::unique_lock hold(lock_);
      changed_.wait(hold, [this] { return stopping_ || !queue_.empty(); });
      if (stopping_) return;
      chunk = std::move(queue_.front());
      queue_.pop_front();
    }
    Encoded encoded;
    try {
      encoded = EncodeChunk(chunk);
    } catch (const std::exception& e) {
      encoded.error = e.what();
    }
    {
      std::lock_guard hold(lock_);
      done_[chunk.index] = std::move(encoded);
    }
    changed_.notify_all();
  }
}

Mp3Chunks::Encoded Mp3Chunks::EncodeChunk(const Chunk& chunk) {
  media::LameSettings settings = settings_;
  settings.tagFrame = false;  // the stream's info frame is made at the end
  media::LameEncoder encoder(settings);
  const auto ch = static_cast<size_t>(channels_);
  std::vector<uint8_t> all;
  const size_t frames = chunk.pcm.size() / ch;
  for (size_t at = 0; at < frames; at += media::LameEncoder::kFramesPerChunk) {
    if (stopping_) throw Error(ErrorKind::Failed, "stopped");
    const int count = static_cast<int>(std::min<size_t>(media::LameEncoder::kFramesPerChunk, frames - at));
    const std::vector<uint8_t>& made = encoder.Encode(chunk.pcm.data() + at * ch, count);
    all.insert(all.end(), made.begin(), made.end());
  }
  const std::vector<uint8_t>& rest = encoder.Flush();
  all.insert(all.end(), rest.begin(), rest.end());

  // The frames the chunk keeps: after its warm-up, as many as it covers.
  Encoded encoded;
  size_t at = 0, index = 0;
  while (at + 4 <= all.size()) {
    Mp3FrameHeader header;
    if (!ParseMp3FrameHeader(&all[at], header) || header.length <= 0 || at + static_cast<size_t>(header.length) > all.size())
      throw Error(ErrorKind::Failed, "LAME made a frame that cannot be read");
    const bool kept = index >= chunk.dropFrames && (chunk.keepFrames == 0 || index < chunk.dropFrames + chunk.keepFrames);
    if (kept) {
      encoded.bytes.insert(encoded.bytes.end(), all.begin() + static_cast<long>(at),
                           all.begin() + static_cast<long>(at) + header.length);
      encoded.frameLengths.push_back(header.length);
    }
    at += static_cast<size_t>(header.length);
    ++index;
  }
  if (chunk.keepFrames != 0 && encoded.frameLengths.size() != chunk.keepFrames)
    throw Error(ErrorKind::Failed, "LAME made fewer frames than a chunk covers");
  return encoded;
}

void Mp3Chunks::DeliverOldest() {
  Encoded encoded;
  {
    std::unique_lock hold(lock_);
    changed_.wait(hold, [this] { return done_.count(delivered_) != 0; });
    encoded = std::move(done_[delivered_]);
    done_.erase(delivered_);
  }
  ++delivered_;
  if (!encoded.error.empty()) throw Error(ErrorKind::Failed, "LAME Error: " + encoded.error);
  if (encoded.frameLengths.empty()) return;
  if (frameLengths_.empty()) {
    // Room for the info frame, which takes the first audio frame's layout.
    std::copy(encoded.bytes.begin(), encoded.bytes.begin() + 4, firstHeader_.begin());
    Mp3FrameHeader like;
    ParseMp3FrameHeader(firstHeader_.data(), like);
    roomBytes_ = MakeInfoFrame(like, firstHeader_.data(), InfoFrameFields{}).size();
    const std::vector<uint8_t> room(roomBytes_, 0);
    sink_(room.data(), room.size());
  }
  frameLengths_.insert(frameLengths_.end(), encoded.frameLengths.begin(), encoded.frameLengths.end());
  musicCrc_ = LameCrc16(encoded.bytes.data(), encoded.bytes.size(), musicCrc_);
  audioBytes_ += encoded.bytes.size();
  sink_(encoded.bytes.data(), encoded.bytes.size());
}
