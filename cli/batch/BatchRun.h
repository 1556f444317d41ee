#pragma once
// Runs a batch's planned jobs, each as a process of the tool's own, on a
// number of workers.

#include <string>
#include <vector>

#include "cli/batch/BatchPlan.h"

struct BatchSettings {
  std::string program;   // the tool, run once a job
  std::string manifest;  // its name, for messages
  size_t workers = 1;
  int threadsEach = 1;    // the MP3 encoder's threads of each job
  bool force = false;     // replace every target
  bool keepGoing = false; // start jobs after one has failed
  bool bar = false;       // one progress line on stderr
  bool json = false;      // progress as JSON lines on stderr
};

struct JobOutcome {
  enum class State { Pending, Running, Done, Skipped, Failed, Stopped, NotRun };
  State state = State::Pending;
  std::string message;  // why it failed
};

struct BatchResult {
  std::vector<JobOutcome> outcomes;  // one a job, in order
  int stoppedBy = 0;                 // the signal that stopped the batch, 0 when none did
};

/// Runs the jobs to run (up-to-date ones are skipped, bad ones failed), each
/// when a worker is free and the job that makes its source has ended well.
/// SIGINT, SIGTERM and SIGHUP stop it: the running jobs are told to stop
/// (each removes its temporary file) and waited for.
BatchResult RunBatch(const std::vector<PlannedJob>& jobs, const BatchSettings& settings);
