#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

/// A stretch of a file where nothing rises above a level: frames [start, end).
struct SilentRun {
  int64_t start = 0;
  int64_t end = 0;
};

/// The silences of frames [0, total) of a file, decoded on `threads` threads.
///
/// The rule: the file is looked at in windows of 10 ms (aligned to frame 0);
/// a window is quiet when no sample of any channel reaches `thresholdDb`
/// dBFS (0 dB being full scale, 32768); a run of quiet windows that lasts at
/// least `minSeconds` is a silence. Raises what reading the file raises.
/// `progress` hears the frames read so far, from the reading threads.
std::vector<SilentRun> FindSilences(const std::string& fileName, int channels, int sampleRate, int64_t total,
                                    double thresholdDb, double minSeconds, int threads,
                                    const std::function<bool()>& cancelled = {},
                                    const std::function<void(int64_t framesRead)>& progress = {});

/// Where a file is split at its silences: the middle of each silence that
/// neither starts the file nor ends it.
std::vector<int64_t> MiddlesOfSilences(const std::vector<SilentRun>& silences, int64_t total);

/// The silences with `keep` frames of each left in place, half at each of
/// its ends (a silence that starts or ends the file keeps its half only on
/// the side of the sound); a silence that leaves nothing to remove is
/// dropped.
std::vector<SilentRun> ShrinkSilences(const std::vector<SilentRun>& silences, int64_t total, int64_t keep);

/// The stretches between silences, [start, end) each, up to `total`.
std::vector<SilentRun> SoundBetween(const std::vector<SilentRun>& silences, int64_t total);
