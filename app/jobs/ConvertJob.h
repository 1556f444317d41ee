#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/jobs/Job.h"
#include "audio/formats/EncodeOptions.h"

/// The whole of `source` written as `target`: plain PCM for a .wav target
/// (decode), any other format with `options` and the source's tags (encode).
struct ConvertRequest {
  std::string source, target;
  EncodeOptions options;
  /// An existing target may be replaced (the tool's --force).
  bool replaceTarget = false;
};

/// Checks the request and starts the run. Raises JobRefused, with nothing
/// started and nothing written.
std::unique_ptr<Job> StartConvert(const ConvertRequest& request, JobEvents events);

/// The source as a live WMA stream over HTTP, at its own pace.
struct StreamRequest {
  std::string source;
  uint32_t port = 0;        // 0: a free one
  uint32_t maxClients = 0;  // 0: any number
  uint32_t bitrate = 128000;
  /// Once the server listens, with its port.
  std::function<void(uint32_t port)> listening;
};

/// Checks the request and starts serving. Raises JobRefused.
std::unique_ptr<Job> StartStream(const StreamRequest& request, JobEvents events);
