// clipwright-cli batch: the jobs of a manifest, on every core.
#include "cli/Commands.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>

#include "cli/CommandHelpers.h"
#include "cli/Options.h"
#include "cli/batch/BatchPlan.h"
#include "cli/batch/BatchRun.h"
#include "platform/Cores.h"
#include "platform/Numbers.h"

namespace cli {

namespace {

/// "I/N": the part of the manifest's jobs to run.
bool ParsePart(const std::string& text, size_t& part, size_t& parts) {
  const size_t slash = text.find('/');
  int32_t i = 0, n = 0;
  if (slash == std::string::npos || !ParseInt32(text.substr(0, slash), i) || !ParseInt32(text.substr(slash + 1), n))
    return false;
  if (n < 1 || i < 0 || i >= n) return false;
  part = static_cast<size_t>(i), parts = static_cast<size_t>(n);
  return true;
}

std::string Jobs(size_t count) { return std::to_string(count) + (count == 1 ? " job" : " jobs"); }

int DryRun(const std::vector<PlannedJob>& jobs, const std::string& name, bool force, const BatchSettings& settings) {
  size_t run = 0, upToDate = 0, bad = 0;
  std::string out;
  for (const PlannedJob& job : jobs) {
    out += name + ":" + std::to_string(job.line) + ": ";
    switch (job.decision) {
      case PlannedJob::Decision::Run:
        ++run;
        out += (job.command == "split" && !force ? "run (pieces newer than the source are kept): " : "run: ") + job.Words();
        break;
      case PlannedJob::Decision::UpToDate: ++upToDate, out += "up to date: " + job.target; break;
      case PlannedJob::Decision::Bad: ++bad, out += "bad line: " + job.error; break;
    }
    out += '\n';
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::printf("%s: %zu to run, %zu up to date, %zu bad\n", Jobs(jobs.size()).c_str(), run, upToDate, bad);
  std::printf("%zu at once, MP3 encoding on %d thread%s each\n", settings.workers, settings.threadsEach,
              settings.threadsEach == 1 ? "" : "s");
  if (bad > 0) return Fail(kUsage, std::to_string(bad) + " bad line" + (bad == 1 ? "" : "s") + " in " + name);
  return kDone;
}

int Summary(const std::vector<PlannedJob>& jobs, const BatchResult& result, const std::string& name) {
  size_t done = 0, skipped = 0, failed = 0, stopped = 0, notRun = 0;
  for (const JobOutcome& outcome : result.outcomes) {
    switch (outcome.state) {
      case JobOutcome::State::Done: ++done; break;
      case JobOutcome::State::Skipped: ++skipped; break;
      case JobOutcome::State::Failed: ++failed; break;
      case JobOutcome::State::Stopped: ++stopped; break;
      default: ++notRun; break;
    }
  }
  std::printf("%s: %zu done, %zu skipped, %zu failed", Jobs(jobs.size()).c_str(), done, skipped, failed);
  if (stopped > 0) std::printf(", %zu stopped", stopped);
  if (notRun > 0) std::printf(", %zu not run", notRun);
  std::printf("\n");
  for (size_t i = 0; i < jobs.size(); ++i)
    if (result.outcomes[i].state == JobOutcome::State::Failed)
      std::printf("failed: %s:%zu: %s\n", name.c_str(), jobs[i].line, result.outcomes[i].message.c_str());
  std::fflush(stdout);
  if (result.stoppedBy != 0) {
    Fail(kRunFailed, "the batch " + name + " was stopped; run it again to do what is left");
    return 128 + result.stoppedBy;
  }
  if (failed > 0 || notRun > 0)
    return Fail(kRunFailed, std::to_string(failed) + " of " + Jobs(jobs.size()) + " of " + name + " failed");
  return kDone;
}

}  // namespace

int Batch(const Arguments& args) {
  const std::string& file = args.files[0];
  const std::string name = file == "-" ? "stdin" : file;
  BatchPlanRequest plan;
  plan.force = args.force;
  if (args.part && !ParsePart(*args.part, plan.part, plan.parts))
    return Fail(kUsage, "--part is I/N, the part I of N counted from 0 (0/4 to 3/4): " + *args.part);
  const auto cores = static_cast<size_t>(UsableCores());
  uint32_t workers = static_cast<uint32_t>(cores);
  std::string error;
  if (!Count(args.jobs, "not a number of jobs at once (1 to 1024): ", 1024, workers, error) || workers < 1)
    return Fail(kUsage, error.empty() ? "not a number of jobs at once (1 to 1024): " + *args.jobs : error);

  Manifest manifest;
  if (file == "-") {
    manifest = ReadManifest(std::cin);
  } else {
    std::ifstream in(file);
    if (!in) return Fail(kBadSource, file + ": the manifest cannot be read");
    manifest = ReadManifest(in);
  }
  if (!manifest.error.empty()) return Fail(kBadSource, name + ": " + manifest.error);
  const std::vector<PlannedJob> jobs = PlanBatch(manifest.jobs, plan);
  BatchSettings settings;
  settings.manifest = name;
  settings.workers = workers;
  // The MP3 encoder's threads are shared among the jobs running at once.
  settings.threadsEach = static_cast<int>(std::max<size_t>(1, cores / workers));
  settings.force = args.force;
  settings.keepGoing = args.keepGoing;
  settings.json = args.progress.has_value();
  settings.bar = !settings.json && !args.quiet && isatty(STDERR_FILENO);
  if (args.dryRun) return DryRun(jobs, name, args.force, settings);

  size_t bad = 0;
  for (const PlannedJob& job : jobs) bad += job.decision == PlannedJob::Decision::Bad;
  if (bad > 0 && !args.keepGoing) {
    for (const PlannedJob& job : jobs)
      if (job.decision == PlannedJob::Decision::Bad)
        std::fprintf(stderr, "clipwright-cli: %s:%zu: %s\n", name.c_str(), job.line, job.error.c_str());
    return Fail(kUsage, std::to_string(bad) + " bad line" + (bad == 1 ? "" : "s") + " in " + name +
                            ": nothing was run (--keep-going runs the other jobs)");
  }
  char self[4096];
  const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (length <= 0) return Fail(kRunFailed, "cannot find the program's own file to run the jobs");
  settings.program.assign(self, static_cast<size_t>(length));
  return Summary(jobs, RunBatch(jobs, settings), name);
}

}  // namespace cli
