#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/jobs/Job.h"
#include "audio/peaks/Silences.h"

/// Of each silence removed, the seconds left in place (half at each side)
/// unless asked otherwise: speech keeps its pauses.
inline constexpr double kKeptSilenceSeconds = 0.3;

/// What Find Silences looks for in a file.
struct SilenceRequest {
  std::string source;
  double thresholdDb = -50;  // dBFS no sample of a silence reaches
  double minSeconds = 0.5;   // the shortest silence
  int threads = 1;           // decoding threads
};

/// The silences found, with the file's rate and length they are counted in.
struct SilenceResult {
  std::vector<SilentRun> silences;
  int sampleRate = 0;
  int64_t total = 0;
};

/// Finds the silences of a file on threads of its own: opening the source
/// (which may mean decoding a damaged one whole) and decoding it never hold
/// the window. `events.progress` hears the percentage read; when the search
/// ends, `found` gets what it found (not after a stop), then
/// `events.finished` the failure, empty when none (a stop is none). All on
/// the main thread. Destroying the job stops it; nothing is heard after.
std::unique_ptr<Job> StartFindSilences(const SilenceRequest& request, JobEvents events,
                                       std::function<void(const SilenceResult&)> found);
