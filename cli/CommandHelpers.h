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

/// Starts a job with `start`, draws its progress on stderr unless `quiet`
/// (or stderr is no terminal), and waits on the event loop for its end.
int RunJob(const std::function<std::unique_ptr<Job>(JobEvents)>& start, bool quiet);

}  // namespace cli
