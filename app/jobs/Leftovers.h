#pragma once

#include <string>

/// Files and folders a run makes for itself (a target's temporary file, a
/// segment cut's folder of pieces) and must not leave behind.
///
/// Their names carry the process id of the run that made them, so that a
/// later run can tell the leftovers of a run that died (kill -9, power loss)
/// from those of a run still alive, and remove them. SIGINT, SIGTERM and
/// SIGHUP remove the scratch files and folders of this process before it
/// ends as the signal would end it.
namespace Leftovers {

/// A name for mkstemp/mkdtemp in `folder`: folder/STEM<pid>-XXXXXX.
std::string OwnedTemplate(const std::string& folder, const std::string& stem);

/// Removes the entries of `folder` named STEM<pid>-... whose process is gone.
/// Entries of live processes, and anything else, stay.
void RemoveThoseOfDeadRuns(const std::string& folder, const std::string& stem);

/// Lists a scratch file (or a flat folder of files) for removal on a signal;
/// `path` must live until Forget. Returns a slot for Forget (-1 when the
/// list is full: such a path is then only removed by the run itself).
int RemoveOnSignal(const char* path, bool folder);
void Forget(int slot);

}  // namespace Leftovers
