#pragma once
// What a batch will do with each job of its manifest, decided before any runs.

#include <string>
#include <vector>

#include "cli/batch/Manifest.h"

struct PlannedJob {
  enum class Decision { Run, UpToDate, Bad };
  size_t line = 0;
  std::string command;
  std::vector<std::string> sources;
  std::string target;
  std::vector<std::string> options;  // the manifest's
  Decision decision = Decision::Run;
  std::string error;  // why the line is Bad
  /// The job (by index) whose target is one of this job's sources: this one
  /// waits for it. -1 when none.
  long producer = -1;

  /// The line's command as the user would type it.
  std::string Words() const;
};

struct BatchPlanRequest {
  /// Run every job, replacing targets newer than their sources.
  bool force = false;
  /// Only every `parts`-th job from the `part`-th (0-based) of the manifest's jobs.
  size_t part = 0, parts = 1;
};

/// The jobs of `manifest` (those of the part asked for), each checked the way
/// the command checks its line (command, files, option names) and decided:
/// a job whose target is newer than every source (and not remade before it)
/// is up to date; a split's pieces are checked when it runs. Two jobs writing
/// one file make the later one bad.
std::vector<PlannedJob> PlanBatch(const std::vector<ManifestJob>& manifest, const BatchPlanRequest& request);
