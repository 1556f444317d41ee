#pragma once
// What the commands of clipwright-cli share: exit codes, the failure line,
// running a job to its end.

#include <functional>
#include <memory>
#include <string>

#include "app/jobs/Job.h"
#include "cli/Arguments.h"

namespace cli {

enum ExitCode { kDone = 0, kUsage = 1, kBadSource = 2, kTargetRefused = 3, kRunFailed = 4, kMissingLibrary = 5 };

/// Says `message` on stderr as one line (and how to get help for a usage
/// error) and returns `code`.
int Fail(int code, const std::string& message);
/// The exit code and line of an error of the jobs.
int Fail(const Error& error);

/// Opens `name` as every command reads a source (the input that counts
/// exactly what the file holds) and hands it to `use`; says why not and
/// returns the exit code when it cannot be read.
int WithSource(const std::string& name, const std::function<int(TAuFileIn& source)>& use);

/// Starts a job with `start` and waits on the event loop for its end. Its
/// progress goes to stderr: as JSON objects with --progress json (`results`
/// the files it writes: done and total count them), else as a bar unless
/// --quiet or stderr is no terminal.
int RunJob(const std::function<std::unique_ptr<Job>(JobEvents)>& start, const Arguments& args, size_t results = 1);

/// One line of --progress json: the fraction done, and the results done of `total`.
void SayJsonProgress(double fraction, size_t done, size_t total, bool upToDate = false);

}  // namespace cli
