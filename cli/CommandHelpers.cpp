#include "cli/CommandHelpers.h"

#include <unistd.h>

#include <QEventLoop>
#include <algorithm>
#include <cstdio>

#include "audio/ACS_Classes.h"
#include "audio/formats/FormatRegistry.h"

namespace cli {

namespace {

void DrawProgress(int percent) {
  constexpr int kWidth = 40;
  if (percent < 0) {
    std::fprintf(stderr, "\r[working...]");
    std::fflush(stderr);
    return;
  }
  const int filled = percent * kWidth / 100;
  std::fprintf(stderr, "\r[%.*s%*s] %3d%%", filled, "########################################", kWidth - filled, "",
               percent);
  std::fflush(stderr);
}

}  // namespace

int Fail(int code, const std::string& message) {
  std::fprintf(stderr, "clipwright-cli: %s\n", message.c_str());
  if (code == kUsage) std::fputs("Try 'clipwright-cli --help'\n", stderr);
  return code;
}

int Fail(const Error& error) {
  switch (error.Kind()) {
    case ErrorKind::Usage: return Fail(kUsage, error.what());
    case ErrorKind::NoSuchFile:
    case ErrorKind::UnreadableFile: return Fail(kBadSource, error.what());
    case ErrorKind::TargetExists:
      return Fail(kTargetRefused, WithFileName("the target exists (use --force to replace it)", error.File()));
    case ErrorKind::TargetIsSource: return Fail(kTargetRefused, error.what());
    case ErrorKind::MissingLibrary: return Fail(kMissingLibrary, error.what());
    case ErrorKind::Failed: break;
  }
  return Fail(kRunFailed, error.what());
}

int WithSource(const std::string& name, const std::function<int(TAuFileIn& source)>& use) {
  std::unique_ptr<TAuFileIn> source;
  try {
    source = OpenSource(name, &FormatEntry::newInput);
  } catch (const Error& e) {
    return Fail(e);
  }
  return use(*source);
}

void SayJsonProgress(double fraction, size_t done, size_t total, bool upToDate) {
  std::fprintf(stderr, "{\"progress\": %.3f, \"done\": %zu, \"total\": %zu%s}\n", fraction, done, total,
               upToDate ? ", \"up_to_date\": true" : "");
  std::fflush(stderr);
}

int RunJob(const std::function<std::unique_ptr<Job>(JobEvents)>& start, const Arguments& args, size_t results) {
  const bool json = args.progress.has_value();
  const bool progress = !json && !args.quiet && isatty(STDERR_FILENO);
  QEventLoop loop;
  bool finished = false;
  std::string failure;
  JobEvents events;
  if (json) {
    // A job's pieces share its percent evenly, so the whole ones are done.
    events.progress = [results, last = -1](int percent) mutable {
      if (percent == last) return;
      last = percent;
      const size_t done = std::min(results, static_cast<size_t>(std::max(percent, 0)) * results / 100);
      SayJsonProgress(std::max(percent, 0) / 100.0, done, results);
    };
  } else if (progress) {
    events.progress = DrawProgress;
    events.step = [](const std::string& step) { std::fprintf(stderr, "\r%s   ", step.c_str() + 3); };
  }
  events.note = [](const std::string& note) { std::fprintf(stderr, "clipwright-cli: note: %s\n", note.c_str()); };
  events.finished = [&](const std::string& why) {
    failure = why;
    finished = true;
    loop.quit();
  };
  std::unique_ptr<Job> job;
  try {
    job = start(std::move(events));
  } catch (const Error& e) {
    return Fail(e);
  } catch (const std::exception& e) {
    return Fail(kRunFailed, e.what());
  }
  if (!finished) loop.exec();
  if (progress) {
    if (failure.empty()) DrawProgress(100);
    std::fprintf(stderr, "\n");
  }
  if (json && failure.empty()) SayJsonProgress(1, results, results);
  if (failure.empty()) return kDone;
  // A run that failed because a library is missing says so by its code too.
  return job->FailureKind() == ErrorKind::MissingLibrary ? Fail(kMissingLibrary, failure) : Fail(kRunFailed, failure);
}

}  // namespace cli
