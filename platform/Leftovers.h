#pragma once

#include <string>

/// Files and folders a run makes for itself (a target's temporary file, a
/// segment cut's folder of pieces, a lossless copy's edge frames) and must
/// not leave behind.
///
/// Their names carry the process id of the run that made them and a token of
/// the machine it ran on (its host name and boot identity), so that a later
/// run can tell the leftovers of a run that died (kill -9, power loss) from
/// those of a run still alive, and remove them. Only a run on the same
/// machine may judge: a folder shared by several machines (NFS, a cluster's
/// volume) holds other machines' files in flight, whose process ids mean
/// nothing here. SIGINT, SIGTERM and SIGHUP remove the scratch files and
/// folders of this process before it ends as the signal would end it.
namespace Leftovers {

/// Eight hex digits naming this machine in this boot: its host name (per
/// UTS namespace, as a container or cluster node sees it) and the kernel's
/// boot id.
std::string MachineToken();
/// The token of a host name and a boot id (for tests and tools).
std::string MachineToken(const std::string& hostName, const std::string& bootId);

/// A name for mkstemp/mkdtemp in `folder`: folder/STEM<pid>-<machine>-XXXXXX.
std::string OwnedTemplate(const std::string& folder, const std::string& stem);

/// Removes the entries of `folder` named STEM<pid>-<machine>-... that this
/// machine made and whose process is gone. Entries of live processes, of
/// other machines, and anything else, stay.
void RemoveThoseOfDeadRuns(const std::string& folder, const std::string& stem);

/// Lists a scratch file (or a flat folder of files) for removal on a signal;
/// `path` must live until Forget. Returns a slot for Forget (-1 when the
/// list is full: such a path is then only removed by the run itself).
int RemoveOnSignal(const char* path, bool folder);
void Forget(int slot);

/// An empty file of this run's own in `folder`, named as above, removed when
/// this goes or the process is stopped by a signal. Creating one first
/// removes the leftovers of dead runs of the same stem there. Raises Error
/// (kind Failed) naming the folder and the cause when it cannot be made.
class ScratchFile {
 public:
  ScratchFile(const std::string& folder, const std::string& stem);
  ~ScratchFile();
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  const std::string& Name() const { return name_; }

 private:
  std::string name_;
  int slot_ = -1;
};

}  // namespace Leftovers
