#pragma once
// A cut through the job the window and the tool start, run to its end.

#include <functional>
#include <memory>
#include <string>

#include "app/jobs/CutJob.h"
#include "tests/support/EventLoop.h"

/// Cuts [startMs, endMs) of `source` into `target` (replacing it) and waits
/// for the end; the job's failure, empty when the target is in place.
/// `onProgress` may stop the job it is given.
inline std::string RunCut(const std::string& source, const std::string& target, int64_t startMs, int64_t endMs,
                          const std::function<void(Job&)>& onProgress = {}) {
  bool done = false;
  std::string failure = "never finished";
  std::unique_ptr<Job> job;
  JobEvents events;
  if (onProgress) events.progress = [&](int) { onProgress(*job); };
  events.finished = [&](const std::string& why) {
    failure = why;
    done = true;
  };
  CutRequest request;
  request.source = source;
  request.target = target;
  request.startMs = startMs;
  request.endMs = endMs;
  request.replaceTarget = true;
  job = StartCut(request, std::move(events));
  SpinUntil([&] { return done; }, 60000);
  return failure;
}
