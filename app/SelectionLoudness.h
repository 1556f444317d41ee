#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "app/OffWindowThread.h"
#include "platform/Loudness.h"

/// Measures the loudness of a range of a file on a thread of its own, never
/// the window's, and hands the figures (or why not) to the window's thread.
/// A new measure waits for the last; the destructor stops a running one.
class SelectionLoudness {
 public:
  using Done = std::function<void(const media::LoudnessFigures& figures, const std::string& failure)>;

  ~SelectionLoudness();
  /// Frames [start, end) of `file` (end -1: to its end); `done` is called on the window's thread.
  void Measure(const std::string& file, int64_t start, int64_t end, Done done);
  bool Running() const { return running_; }

 private:
  std::atomic<bool> stop_{false};
  bool running_ = false;  // window thread only
  OffWindowThread worker_;  // last: it goes first, while the rest is still there
};

/// The figures as the window shows them, a line each.
std::string LoudnessText(const media::LoudnessFigures& figures);
