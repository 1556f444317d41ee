#include "audio/peaks/FrameRangeReader.h"

#include "platform/Cores.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <exception>
#include <mutex>
#include <thread>

#include "audio/ACS_Wave.h"
#include "audio/ACS_WinMedia.h"
#include "audio/classes/AuException.h"
#include "audio/classes/Convert.h"
#include "audio/formats/AudioFormat.h"
#include "audio/formats/FormatRegistry.h"
#include "audio/mp3/frames/FrameScan.h"
#include "audio/mp3/frames/Mp3FrameTable.h"
#include "audio/peaks/ColumnPeaks.h"
#include "platform/Error.h"
#include "platform/FdIo.h"
#include "platform/Mp3FrameDecoder.h"

namespace {

constexpr size_t kPcmReadBytes = 4 << 20;

}  // namespace

struct FrameRangeReader::Layout {
  std::string fileName;
  const FormatEntry* format = nullptr;
  int channels = 0, bits = 0, rate = 0;
  int64_t frames = 0;        // as the input counts them
  int64_t pcmOffset = -1;    // where integer PCM starts, when read directly
  // An intact MP3: its frames, decoded one by one.
  bool mp3Frames = false;
  Mp3FrameTable table;
  int samplesPerFrame = 0;
  int64_t skipped = 0;       // decoded frames before the first delivered one
};

namespace {

std::unique_ptr<TAuFileIn> InputFor(const FormatEntry* entry, const std::string& fileName) {
  if (!entry) throw Error(ErrorKind::UnreadableFile, "unsupported file type", fileName);
  std::unique_ptr<TAuFileIn> input = entry->newInput();
  input->SetFileName(fileName);
  return input;
}

}  // namespace

std::shared_ptr<const FrameRangeReader::Layout> FrameRangeReader::Look(const std::string& fileName,
                                                                       const std::function<bool()>& cancelled) {
  auto layout = std::make_shared<Layout>();
  layout->fileName = fileName;
  layout->format = FormatEntryOfFile(fileName);
  std::unique_ptr<TAuFileIn> input = InputFor(layout->format, fileName);
  layout->channels = std::max(input->Channels(), 1);
  layout->bits = input->BitsPerSample();
  layout->rate = input->SampleRate();
  layout->frames = input->TotalSamples();
  layout->pcmOffset = input->PcmDataOffset();
  if (layout->format->walksFrames) {
    // The frames are decoded directly only where the input delivers exactly
    // what they decode to (gapless): no damage, no count that disagrees.
    const Mp3Info info = WalkMp3Frames(
        fileName, [&layout](int64_t offset, const Mp3FrameHeader& header, const uint8_t*) { layout->table.Add(offset, header); },
        cancelled);
    layout->mp3Frames = !(cancelled && cancelled()) && info.found && !info.damaged && !info.truncated &&
                        info.channels == layout->channels && layout->table.Count() == info.frames &&
                        (info.infoFrames == 0 || info.infoFrames == info.frames) && info.Samples() == layout->frames;
    layout->samplesPerFrame = info.samplesPerFrame;
    layout->skipped = info.lameTag ? info.encoderDelay + kLayer3DecoderDelay : 0;
  }
  return layout;
}

FrameRangeReader::FrameRangeReader(std::shared_ptr<const Layout> layout)
    : layout_(std::move(layout)), channels_(layout_->channels), bits_(layout_->bits) {
  if (layout_->mp3Frames) decoder_ = std::make_unique<Mp3FrameDecoder>(channels_, layout_->rate);
  if (layout_->pcmOffset >= 0 || layout_->mp3Frames) {
    fd_ = open(layout_->fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) throw EAuException(std::string("the file could not be opened: ") + ErrnoText(errno));
  } else {
    input_ = InputFor(layout_->format, layout_->fileName);
  }
}

FrameRangeReader::~FrameRangeReader() {
  if (fd_ >= 0) close(fd_);
}

int64_t FrameRangeReader::Read(int64_t from, int64_t to, const Sink& sink, const std::function<bool()>& cancelled) {
  if (to <= from) return 0;
  if (decoder_) return ReadMp3(from, to, sink, cancelled);
  if (fd_ >= 0) return ReadPcm(from, to, sink, cancelled);
  const int64_t total = layout_->frames;
  input_->SetStartSample(from);
  input_->SetEndSample(to >= total ? -1 : to - 1);
  return ReadSixteenBit(*input_, to - from, sink, cancelled);
}

namespace {

/// Interleaved samples of `bits` bits (8 unsigned; 16, 24, 32 signed) as floats of full scale 1.0.
void ToFloat(const uint8_t* bytes, size_t samples, int bits, float* out) {
  const int width = bits / 8;
  const float scale = 1.0f / static_cast<float>(int64_t{1} << (bits - 1));
  for (size_t i = 0; i < samples; ++i, bytes += width) {
    int32_t value = 0;
    switch (width) {
      case 1: value = bytes[0] - 128; break;
      case 2: value = static_cast<int16_t>(bytes[0] | bytes[1] << 8); break;
      case 3: value = static_cast<int32_t>(static_cast<uint32_t>(bytes[0] << 8 | bytes[1] << 16 | bytes[2] << 24)) >> 8; break;
      default: value = static_cast<int32_t>(bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24);
    }
    out[i] = static_cast<float>(value) * scale;
  }
}

}  // namespace

int64_t FrameRangeReader::ReadFloat(int64_t from, int64_t to, const FloatSink& sink,
                                    const std::function<bool()>& cancelled) {
  if (to <= from) return 0;
  if (fd_ >= 0 && !decoder_) {
    // Integer PCM straight from the file: its samples scaled, nothing lost.
    return ReadPcmBytes(from, to, [&](const uint8_t* bytes, int64_t frames) {
      floats_.resize(static_cast<size_t>(frames * channels_));
      ToFloat(bytes, floats_.size(), bits_, floats_.data());
      sink(floats_.data(), frames);
    }, cancelled);
  }
  if (!floatInput_) {
    floatInput_ = InputFor(layout_->format, layout_->fileName);
    if (auto* decoded = dynamic_cast<TWMIn*>(floatInput_.get())) decoded->SetFloatSamples(true);
  }
  TAuFileIn& input = *floatInput_;
  const auto* decoded = dynamic_cast<const TWMIn*>(&input);
  const bool floating = decoded != nullptr && decoded->FloatSamples();
  input.SetStartSample(from);
  input.SetEndSample(to >= layout_->frames ? -1 : to - 1);
  return ReadWholeFrames(input, to - from, [&](const uint8_t* bytes, int64_t frames) {
    const size_t samples = static_cast<size_t>(frames) * static_cast<size_t>(input.Channels());
    if (floating) return sink(reinterpret_cast<const float*>(bytes), frames);
    floats_.resize(samples);
    ToFloat(bytes, samples, input.BitsPerSample(), floats_.data());
    sink(floats_.data(), frames);
  }, cancelled);
}

int64_t FrameRangeReader::ReadPcmBytes(int64_t from, int64_t to, const std::function<void(const uint8_t*, int64_t)>& sink,
                                       const std::function<bool()>& cancelled) {
  const int bytesPerSample = bits_ / 8;
  const size_t frameBytes = static_cast<size_t>(channels_ * bytesPerSample);
  to = std::min(to, layout_->frames);  // whole frames the file holds
  bytes_.resize(kPcmReadBytes / frameBytes * frameBytes);
  int64_t at = from;
  while (at < to && !(cancelled && cancelled())) {
    const size_t want = static_cast<size_t>(std::min<int64_t>(to - at, static_cast<int64_t>(bytes_.size() / frameBytes))) * frameBytes;
    const int64_t got = FdIo::ReadAt(fd_, bytes_.data(), want, layout_->pcmOffset + at * static_cast<int64_t>(frameBytes));
    if (got < 0) throw EAuException(std::string("the file could not be read: ") + ErrnoText(errno));
    const auto frames = got / static_cast<int64_t>(frameBytes);
    if (frames == 0) break;
    sink(bytes_.data(), frames);
    at += frames;
  }
  return at - from;
}

int64_t FrameRangeReader::ReadPcm(int64_t from, int64_t to, const Sink& sink, const std::function<bool()>& cancelled) {
  return ReadPcmBytes(from, to, [&](const uint8_t* bytes, int64_t frames) {
    if (bits_ == 16) return sink(reinterpret_cast<const int16_t*>(bytes), frames);
    const size_t samples = static_cast<size_t>(frames) * static_cast<size_t>(channels_);
    samples_.resize(samples);
    SampleConvert::ToShort(bytes, samples, bits_, samples_.data());
    sink(samples_.data(), frames);
  }, cancelled);
}

int64_t FrameRangeReader::ReadMp3(int64_t from, int64_t to, const Sink& sink, const std::function<bool()>& cancelled) {
  const Layout& m = *layout_;
  to = std::min(to, m.frames);
  if (to <= from) return 0;
  const int64_t spf = m.samplesPerFrame;
  decoded_.clear();
  int64_t handedTo = from;  // the next frame to hand over
  auto handOver = [&](bool all) {
    const auto held = static_cast<int64_t>(decoded_.size()) / channels_;
    if (held == 0 || (!all && held < 1 << 15)) return;
    sink(decoded_.data(), held);
    handedTo += held;
    decoded_.clear();
  };
  m.table.Decode(fd_, *decoder_, (from + m.skipped) / spf, (to - 1 + m.skipped) / spf,
                 [&](int64_t index, const int16_t* samples, int made) {
                   if (made != spf)
                     throw EAuException("an MP3 frame decoded to " + std::to_string(made) + " samples instead of " +
                                        std::to_string(spf));
                   // The frame's samples are delivered frames [index * spf - skipped, ...).
                   const int64_t frameStart = index * spf - m.skipped;
                   const int64_t take0 = std::max(from, frameStart), take1 = std::min(to, frameStart + spf);
                   if (take1 <= take0) return;
                   decoded_.insert(decoded_.end(), samples + (take0 - frameStart) * channels_, samples + (take1 - frameStart) * channels_);
                   handOver(false);
                 },
                 cancelled);
  handOver(true);
  return handedTo - from;
}

int MachineThreads() { return UsableCores(); }

void RunInBackground() {
  // On Linux a thread's nice value is its own: this thread only.
  setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 10);
}

void ReadInParallel(const std::string& fileName, int64_t from, int64_t to, int64_t chunkFrames, int threads,
                    const std::function<void(int, int64_t, const int16_t*, int64_t)>& piece,
                    const std::function<bool()>& cancelled, bool background) {
  const int64_t chunks = to > from ? (to - from + chunkFrames - 1) / chunkFrames : 0;
  threads = static_cast<int>(std::clamp<int64_t>(threads, 1, std::max<int64_t>(chunks, 1)));
  std::atomic<int64_t> next{0};
  std::atomic<bool> failed{false};
  std::exception_ptr failure;
  std::mutex failureLock;
  // One look at the file for all the threads.
  const auto layout = FrameRangeReader::Look(fileName, cancelled);
  auto work = [&](int thread) {
    try {
      if (background) RunInBackground();
      if (cancelled && cancelled()) return;
      FrameRangeReader reader(layout);
      for (int64_t chunk = next++; chunk < chunks && !failed && !(cancelled && cancelled()); chunk = next++) {
        const int64_t start = from + chunk * chunkFrames, end = std::min(to, start + chunkFrames);
        int64_t at = start;
        const int64_t got = reader.Read(start, end, [&](const int16_t* samples, int64_t frames) {
          piece(thread, at, samples, frames);
          at += frames;
        }, [&] { return failed.load() || (cancelled && cancelled()); });
        if (got < end - start && !failed && !(cancelled && cancelled()))
          throw EAuException(ShortDeliveryText(start + got, to));
      }
    } catch (...) {
      std::lock_guard hold(failureLock);
      if (!failure) failure = std::current_exception();
      failed = true;
    }
  };
  std::vector<std::thread> others;
  for (int t = 1; t < threads; ++t) others.emplace_back(work, t);
  work(0);
  for (std::thread& t : others) t.join();
  if (failure) std::rethrow_exception(failure);
}

ColumnPeaks ReadColumnPeaksInParallel(const std::string& fileName, int channels, int64_t from, int64_t to, int width,
                                      int threads, const std::function<bool()>& cancelled) {
  threads = std::max(threads, 1);
  // Chunks of at least a column each, so that few columns are shared out.
  const int64_t frames = std::max<int64_t>(to - from, 0);
  const int64_t chunk = std::max<int64_t>({int64_t{1} << 20, frames / (int64_t{threads} * 8), frames / width + 1});
  std::vector<ColumnPeaks> perThread(static_cast<size_t>(threads), ColumnPeaks(width, channels, frames));
  ReadInParallel(
      fileName, from, to, chunk, threads,
      [&](int thread, int64_t at, const int16_t* samples, int64_t n) {
        perThread[static_cast<size_t>(thread)].AddAt(at - from, samples, n);
      },
      cancelled);
  for (size_t t = 1; t < perThread.size(); ++t) perThread[0].Merge(perThread[t]);
  return std::move(perThread[0]);
}
