#include "audio/peaks/PeaksProvider.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <tuple>
#include <vector>

#include "audio/formats/FormatRegistry.h"
#include "audio/peaks/ColumnPeaks.h"
#include "audio/peaks/FrameRangeReader.h"
#include "audio/peaks/Mp3Estimate.h"
#include "audio/mp3/frames/FrameScan.h"

namespace {

constexpr int kBlock = PeakStore::kBlockFrames;
/// What one thread reads at a time while refining: about 24 s at 44.1 kHz.
constexpr int64_t kChunkFrames = int64_t{kBlock} * 4096;
/// The longest range read for a view's columns of its own.
constexpr int64_t kDetailFrames = int64_t{1} << 22;

/// Turns one thread's pieces of decoded frames into exact blocks.
class BlockCollector {
 public:
  BlockCollector(PeakStore& store) : store_(store), channels_(store.Channels()) {}

  void Take(int64_t at, const int16_t* samples, int64_t frames) {
    if (Pending() > 0 && at != pendingAt_ + Pending()) Flush();
    if (Pending() == 0) {
      pendingAt_ = at;
      if (at % kBlock == 0) {  // whole blocks straight from the piece
        const int64_t whole = frames / kBlock * kBlock;
        StoreBlocks(at, samples, whole);
        at += whole;
        samples += whole * channels_;
        frames -= whole;
        pendingAt_ = at;
      }
    }
    pending_.insert(pending_.end(), samples, samples + frames * channels_);
    const int64_t whole = Pending() / kBlock * kBlock;
    if (whole > 0 && pendingAt_ % kBlock == 0) {
      StoreBlocks(pendingAt_, pending_.data(), whole);
      pending_.erase(pending_.begin(), pending_.begin() + whole * channels_);
      pendingAt_ += whole;
    }
  }
  /// Stores what is left (the short last block of the file).
  void Flush() {
    if (Pending() > 0) StoreBlocks(pendingAt_, pending_.data(), Pending());
    pending_.clear();
  }

 private:
  int64_t Pending() const { return static_cast<int64_t>(pending_.size()) / channels_; }
  void StoreBlocks(int64_t at, const int16_t* samples, int64_t frames) {
    if (frames <= 0) return;
    BlockPeaks(samples, frames, channels_, blocks_);
    store_.Store(at / kBlock, blocks_.data(), static_cast<int64_t>(blocks_.size()) / channels_, PeakQuality::Exact);
  }

  PeakStore& store_;
  int channels_;
  int64_t pendingAt_ = 0;
  std::vector<int16_t> pending_;
  std::vector<PeakPair> blocks_;
};

}  // namespace

PeaksProvider::PeaksProvider(std::string fileName, int channels, int64_t frames, int threads, Depth depth)
    : fileName_(std::move(fileName)),
      threads_(threads > 0 ? threads : MachineThreads()),
      depth_(depth),
      store_(channels, frames) {
  worker_ = std::thread([this] { Work(); });
  detail_ = std::thread([this] { DetailWork(); });
}

PeaksProvider::~PeaksProvider() {
  Cancel();
  worker_.join();
  detail_.join();
}

void PeaksProvider::Cancel() {
  {
    std::lock_guard hold(lock_);
    cancel_ = true;
  }
  changed_.notify_all();
}

std::string PeaksProvider::Failure() const {
  std::lock_guard hold(lock_);
  return failure_;
}

void PeaksProvider::Signal(std::atomic<bool>& flag) {
  {
    std::lock_guard hold(lock_);
    flag = true;
  }
  changed_.notify_all();
}

void PeaksProvider::WaitForOverview() {
  std::unique_lock hold(lock_);
  changed_.wait(hold, [this] { return overview_.load() || finished_.load(); });
}

void PeaksProvider::WaitUntilFinished() {
  std::unique_lock hold(lock_);
  changed_.wait(hold, [this] { return finished_.load(); });
}

bool PeaksProvider::Estimates(const std::string& fileName) {
  const FormatEntry* entry = FormatEntryOfFile(fileName);
  // Layers I and II in an .mp3 file have no side information to estimate from.
  return entry && entry->walksFrames && LayerOfFirstSync(fileName) == 3;
}

void PeaksProvider::Work() {
  RunInBackground();
  try {
    const bool estimated = Estimates(fileName_);
    if (estimated) EstimateMp3();
    // Files without an estimate get their overview from their samples.
    if (depth_ == Depth::Exact || !estimated) Refine();
  } catch (const std::exception& e) {
    std::lock_guard hold(lock_);
    failure_ = e.what();
  }
  Signal(overview_);
  Signal(finished_);
}

void PeaksProvider::EstimateMp3() {
  Mp3Estimate estimate = ReadMp3Estimate(fileName_, [this] { return Cancelled(); });
  if (Cancelled()) return;
  const int channels = std::min(estimate.channels, store_.Channels());
  const int64_t granules = estimate.Granules();

  // Each block takes the loudest granule it overlaps.
  constexpr int64_t kBatch = 1 << 16;
  std::vector<PeakPair> batch;
  for (int64_t first = 0; first < store_.Blocks() && !Cancelled(); first += kBatch) {
    const int64_t count = std::min(kBatch, store_.Blocks() - first);
    batch.assign(static_cast<size_t>(count * store_.Channels()), PeakPair{});
    for (int64_t b = 0; b < count; ++b) {
      const int64_t start = (first + b) * kBlock + estimate.skipped;
      const int64_t end = std::min((first + b + 1) * kBlock, store_.Frames()) + estimate.skipped;
      const int64_t g0 = start / estimate.granuleFrames, g1 = std::min((end - 1) / estimate.granuleFrames, granules - 1);
      for (int ch = 0; ch < store_.Channels(); ++ch) {
        float loudest = 0;
        for (int64_t g = g0; g <= g1; ++g)
          loudest = std::max(loudest, estimate.peaks[static_cast<size_t>(g * estimate.channels + std::min(ch, channels - 1))]);
        const auto peak = static_cast<int16_t>(std::lround(std::min(loudest, 32767.0f)));
        batch[static_cast<size_t>(b * store_.Channels() + ch)] = {static_cast<int16_t>(-peak), peak};
      }
    }
    store_.Store(first, batch.data(), count, PeakQuality::Estimated);
  }
  Signal(overview_);
}

void PeaksProvider::Refine() {
  if (Cancelled()) return;
  std::vector<BlockCollector> collectors(static_cast<size_t>(threads_), BlockCollector(store_));
  ReadInParallel(
      fileName_, 0, store_.Frames(), kChunkFrames, threads_,
      [&collectors](int thread, int64_t at, const int16_t* samples, int64_t frames) {
        collectors[static_cast<size_t>(thread)].Take(at, samples, frames);
      },
      [this] { return Cancelled(); }, true);
  for (BlockCollector& collector : collectors) collector.Flush();
}

PeakColumns PeaksProvider::Columns(int64_t from, int64_t to, int width) {
  PeakColumns columns = store_.Columns(from, to, width);
  const int64_t frames = to - from;
  // Blocks straddling a column's edges make it up to a block wider than it is.
  const bool tooCoarse = frames < int64_t{width} * kBlock * 8;
  if (tooCoarse)  // not what the samples give: say so until they are there
    for (PeakQuality& q : columns.quality) q = std::min(q, PeakQuality::Estimated);
  if ((!tooCoarse && columns.Complete()) || frames <= 0 || frames > kDetailFrames) return columns;
  const Request request{from, to, width};
  {
    std::lock_guard hold(lock_);
    if (doneRequest_ == request) return done_;
    if (working_ == request && !wanted_) return columns;
    wanted_ = request;
  }
  changed_.notify_all();
  return columns;
}

void PeaksProvider::DetailWork() {
  std::unique_ptr<FrameRangeReader> reader;
  for (;;) {
    Request request;
    {
      std::unique_lock hold(lock_);
      changed_.wait(hold, [this] { return cancel_.load() || wanted_.has_value(); });
      if (cancel_) {
        detailEnded_ = true;
        return;
      }
      request = *wanted_;
      wanted_.reset();
      working_ = request;
    }
    auto superseded = [this] {
      std::lock_guard hold(lock_);
      return cancel_.load() || wanted_.has_value();
    };
    try {
      if (!reader) reader = std::make_unique<FrameRangeReader>(fileName_, [this] { return Cancelled(); });
      // The reader counts the file's channels as the store does: both ask the same input.
      ColumnPeaks peaks(request.width, reader->Channels(), request.to - request.from);
      reader->Read(request.from, request.to, [&](const int16_t* samples, int64_t frames) { peaks.Add(samples, frames); },
                   superseded);
      if (superseded() || peaks.Added() < peaks.Frames()) {
        std::lock_guard hold(lock_);
        working_ = {};
        continue;
      }
      PeakColumns columns;
      columns.width = peaks.Width();
      columns.channels = peaks.Channels();
      for (int c = 0; c < peaks.Width(); ++c)
        for (int ch = 0; ch < peaks.Channels(); ++ch) columns.values.push_back(peaks.At(c, ch));
      columns.quality.assign(static_cast<size_t>(peaks.Width()), PeakQuality::Exact);
      std::lock_guard hold(lock_);
      done_ = std::move(columns);
      doneRequest_ = request;
      working_ = {};
    } catch (const std::exception&) {
      // The refinement meets the same failure and reports it.
      std::lock_guard hold(lock_);
      working_ = {};
    }
    detailVersion_.fetch_add(1);
  }
}
