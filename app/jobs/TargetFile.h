#pragma once

#include <memory>
#include <string>

class TAuOutput;

/// True when both names exist and are one file (by any name or link).
bool IsSameFile(const std::string& a, const std::string& b);

/// A new file that a job writes beside its target and puts in place only
/// when the job succeeded, so a failed, stopped or interrupted run never
/// loses the target that was there, nor leaves a stray file behind.
///
/// The temporary file gets a short unique name, created exclusively in the
/// target's folder (a file of the user's is never taken over). SIGINT,
/// SIGTERM and SIGHUP remove the temporary files of every live TargetFile,
/// and a new one removes those that runs which died left in its folder
/// (see Leftovers).
class TargetFile {
 public:
  /// Creates the temporary file. Raises std::runtime_error naming the folder
  /// and the cause when it cannot.
  explicit TargetFile(const std::string& target);
  /// Removes the temporary file unless it was committed.
  ~TargetFile();
  TargetFile(const TargetFile&) = delete;
  TargetFile& operator=(const TargetFile&) = delete;

  const std::string& Target() const { return target_; }
  /// The name the job writes to.
  const std::string& TemporaryName() const { return temporary_; }
  /// Flushes the temporary file to disk and renames it over the target.
  /// Raises std::runtime_error naming the target and the cause; the
  /// temporary file is then removed and the old target kept.
  void Commit();
  /// Moves `file` into the place of the temporary file, with the temporary
  /// file's permissions, so that a job can finish a file it already has.
  /// False, and nothing changed, when `file` is on another file system.
  /// Raises std::runtime_error for any other failure.
  bool TakeOver(const std::string& file);
  /// Removes the temporary file now.
  void Discard();

 private:
  std::string target_;
  std::string temporary_;
  int slot_ = -1;  // in the list the signal handler cleans up
  bool committed_ = false;
};

/// What a run of `output` that wrote `target` ended with: `failure`, or that
/// it was stopped before the end; empty only for a completed run. Names the target.
std::string RunFailure(const TAuOutput& output, std::string failure, const std::string& target);

/// Ends a run of `output` that wrote `file`: puts the file in place when the
/// run completed (`failure` empty, not stopped), else lets it go. Returns
/// what the user is to be told: the run's failure, that it was stopped, or
/// why the file could not be put in place; empty when it is in place.
std::string FinishTarget(std::unique_ptr<TargetFile> file, const TAuOutput& output, std::string failure);
