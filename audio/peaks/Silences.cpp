#include "audio/peaks/Silences.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>

#include "audio/peaks/FrameRangeReader.h"

std::vector<SilentRun> FindSilences(const std::string& fileName, int channels, int sampleRate, int64_t total,
                                    double thresholdDb, double minSeconds, int threads,
                                    const std::function<bool()>& cancelled,
                                    const std::function<void(int64_t framesRead)>& progress) {
  std::vector<SilentRun> silences;
  if (total <= 0 || sampleRate <= 0 || channels <= 0) return silences;
  const int64_t window = std::max(1, sampleRate / 100);
  const auto windows = static_cast<size_t>((total + window - 1) / window);
  // The loudest sample of each window. A chunk is whole windows, so each
  // window is written by the one thread that reads its chunk.
  std::vector<int32_t> loudest(windows, 0);
  const int64_t chunk = window * 2048;
  std::atomic<int64_t> read{0};
  ReadInParallel(
      fileName, 0, total, chunk, threads,
      [&](int, int64_t at, const int16_t* samples, int64_t frames) {
        for (int64_t f = 0; f < frames; ++f) {
          int32_t peak = 0;
          for (int c = 0; c < channels; ++c) peak = std::max(peak, std::abs(int32_t{samples[f * channels + c]}));
          int32_t& slot = loudest[static_cast<size_t>((at + f) / window)];
          slot = std::max(slot, peak);
        }
        const int64_t sofar = read += frames;
        if (progress) progress(sofar);
      },
      cancelled);
  const double level = 32768.0 * std::pow(10.0, thresholdDb / 20.0);
  const auto shortest = static_cast<int64_t>(std::llround(minSeconds * sampleRate));
  size_t w = 0;
  while (w < windows) {
    if (loudest[w] >= level) {
      ++w;
      continue;
    }
    const size_t first = w;
    while (w < windows && loudest[w] < level) ++w;
    const SilentRun run{static_cast<int64_t>(first) * window, std::min(total, static_cast<int64_t>(w) * window)};
    if (run.end - run.start >= shortest) silences.push_back(run);
  }
  return silences;
}

std::vector<int64_t> MiddlesOfSilences(const std::vector<SilentRun>& silences, int64_t total) {
  std::vector<int64_t> middles;
  for (const SilentRun& run : silences)
    if (run.start > 0 && run.end < total) middles.push_back(run.start + (run.end - run.start) / 2);
  return middles;
}

std::vector<SilentRun> ShrinkSilences(const std::vector<SilentRun>& silences, int64_t total, int64_t keep) {
  std::vector<SilentRun> shrunk;
  const int64_t before = keep / 2, after = keep - keep / 2;  // before the sound that follows, after the one before
  for (const SilentRun& run : silences) {
    const int64_t start = run.start > 0 ? run.start + after : 0;
    const int64_t end = run.end < total ? run.end - before : total;
    if (end > start) shrunk.push_back({start, end});
  }
  return shrunk;
}

std::vector<SilentRun> SoundBetween(const std::vector<SilentRun>& silences, int64_t total) {
  std::vector<SilentRun> sound;
  int64_t from = 0;
  for (const SilentRun& run : silences) {
    if (run.start > from) sound.push_back({from, run.start});
    from = std::max(from, run.end);
  }
  if (from < total) sound.push_back({from, total});
  return sound;
}
