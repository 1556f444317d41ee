#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Error.h"

class TAuFileIn;
class TAuFileOut;
class TAuOutput;
class TargetFile;
struct FormatEntry;

/// Why a job cannot start. Its kind tells the tool's exit code; its message
/// is for the user and names the file.
class JobRefused : public Error {
 public:
  using Error::Error;
  /// A source that cannot be used; the message names it.
  explicit JobRefused(const std::string& message) : Error(ErrorKind::UnreadableFile, message) {}
};

/// What a running job tells the window or the tool, on the main thread.
struct JobEvents {
  std::function<void(int percent)> progress;
  /// A job of several steps, as each starts: " - Cutting ... 1/4".
  std::function<void(const std::string& step)> step;
  /// Something the user should know of the result before it is done (a
  /// gain held back so as not to clip).
  std::function<void(const std::string& note)> note;
  /// Once, at the end: empty when the target is in place, else why not,
  /// naming the file. The job may not be destroyed from here.
  std::function<void(const std::string& failure)> finished;
};

/// A started job: its components, its temporary target beside the real one,
/// and its run. Destroying it stops a run still going; the temporary file
/// goes, the old target stays.
class Job {
 public:
  virtual ~Job() = default;
  virtual bool Running() const = 0;
  /// Asks the run to stop; `finished` then says it was stopped.
  virtual void Stop() = 0;
  /// What kind of failure `finished` told of (a library that is missing, say).
  virtual ErrorKind FailureKind() const { return ErrorKind::Failed; }
};

/// Before a job lets go of its output: a run still going is stopped first
/// (synchronously), since its worker reads the handlers; then they are cleared.
void StopAndClearHandlers(TAuOutput& output);

/// Raises JobRefused when the target's extension is one its format is not written as (.aac).
void CheckWritable(const std::string& target);

/// The checks of every job's target: never one of the sources; an existing
/// file only with `replace`.
void CheckTarget(const std::string& target, const std::vector<std::string>& sources, bool replace);
/// Refuses a target of another format than `entry`'s; `what` says whose format it is ("the source is").
void CheckTargetFormat(const FormatEntry& entry, const std::string& target, const std::string& what);

/// Opens `name` in an input made by `make` (a format's), refusing a file
/// that is not there, cannot be opened (a folder, a pipe, no permission), is
/// of no known format, or that the input cannot read. Raises JobRefused.
std::unique_ptr<TAuFileIn> OpenSource(const std::string& name,
                                      std::unique_ptr<TAuFileIn> (*FormatEntry::*make)());

/// A job of one run of one output: its components and target. The output
/// goes first when it ends, then the inputs, then an unfinished target.
class OutputJob : public Job {
 public:
  explicit OutputJob(JobEvents events);
  ~OutputJob() override;
  bool Running() const override { return running_; }
  ErrorKind FailureKind() const override { return failureKind_; }
  void Stop() override;

  /// Keeps a component the run reads from (an input, a mixer).
  template <typename Component>
  Component& Keep(std::unique_ptr<Component> component) {
    Component& kept = *component;
    inputs_.push_back(std::shared_ptr<void>(std::move(component)));
    return kept;
  }
  TAuFileOut& SetOutput(std::unique_ptr<TAuFileOut> output);
  /// Makes the temporary target the output will write.
  const std::string& OpenTarget(const std::string& target);
  /// Starts the output; raises what its start raises.
  void Run();
  /// Called with the finished temporary file before it takes the target's
  /// name (tags that need the whole result); what it raises fails the run.
  void SetBeforeCommit(std::function<void(const std::string& file)> step) { beforeCommit_ = std::move(step); }


 private:
  void Done();

  JobEvents events_;
  std::unique_ptr<TargetFile> target_;
  std::function<void(const std::string& file)> beforeCommit_;
  std::vector<std::shared_ptr<void>> inputs_;
  std::unique_ptr<TAuFileOut> output_;  // last: it stops before the inputs go
  std::string failure_;
  ErrorKind failureKind_ = ErrorKind::Failed;
  bool running_ = false;
  bool closing_ = false;  // set by the destructor on the window thread, where the handlers run too
};
