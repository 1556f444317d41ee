#include "app/jobs/SilenceJob.h"

#include <atomic>
#include <thread>

#include "audio/classes/FileIn.h"
#include "audio/classes/MainThread.h"
#include "audio/formats/FormatRegistry.h"

namespace {

class SilenceJob : public Job {
 public:
  SilenceJob(SilenceRequest request, JobEvents events, std::function<void(const SilenceResult&)> found)
      : request_(std::move(request)), events_(std::move(events)), found_(std::move(found)) {}

  ~SilenceJob() override {
    // The worker may be waiting for the main thread to hear it: serve it until it ends.
    detached_ = true;
    stop_ = true;
    MainThread::ServiceUntil([this] { return ended_.load(); });
    if (worker_.joinable()) worker_.join();
  }

  void Start() {
    running_ = true;
    worker_ = std::thread([this] { Work(); });
  }

  bool Running() const override { return running_; }
  void Stop() override { stop_ = true; }

 private:
  void Work() {
    SilenceResult result;
    std::string failure;
    try {
      {
        // Opened here, off the window thread; its facts are remembered for the readers' threads.
        const std::unique_ptr<TAuFileIn> input = OpenSource(request_.source, &FormatEntry::newInput);
        result.sampleRate = input->SampleRate();
        result.total = input->TotalSamples();
        channels_ = input->Channels();
      }
      result.silences = FindSilences(
          request_.source, channels_, result.sampleRate, result.total, request_.thresholdDb, request_.minSeconds,
          request_.threads, [this] { return stop_.load(); },
          [this, total = result.total](int64_t frames) { TellProgress(total > 0 ? static_cast<int>(frames * 100 / total) : 0); });
    } catch (const std::exception& e) {
      failure = WithFileName(e.what(), request_.source);
    }
    MainThread::Call([&] {
      running_ = false;
      if (detached_) return;
      if (failure.empty() && !stop_ && found_) found_(result);
      if (events_.finished) events_.finished(failure);
    });
    ended_ = true;
    MainThread::Wake();
  }

  /// From any reader thread; the window hears each percentage once.
  void TellProgress(int percent) {
    int shown = shown_.load();
    while (percent > shown)
      if (shown_.compare_exchange_weak(shown, percent)) {
        MainThread::Call([this, percent] {
          if (!detached_ && events_.progress) events_.progress(percent);
        });
        return;
      }
  }

  const SilenceRequest request_;
  JobEvents events_;
  std::function<void(const SilenceResult&)> found_;
  int channels_ = 0;
  std::atomic<bool> stop_{false}, ended_{false};
  std::atomic<int> shown_{-1};
  bool running_ = false;   // main thread only
  bool detached_ = false;  // main thread only: nothing more is told
  std::thread worker_;
};

}  // namespace

std::unique_ptr<Job> StartFindSilences(const SilenceRequest& request, JobEvents events,
                                       std::function<void(const SilenceResult&)> found) {
  auto job = std::make_unique<SilenceJob>(request, std::move(events), std::move(found));
  job->Start();
  return job;
}
