#include "app/jobs/TargetFile.h"

#include <fcntl.h>
#include <stdio.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <stdexcept>

#include "app/jobs/Global.h"
#include "platform/Leftovers.h"
#include "audio/classes/AuOutput.h"
#include "platform/Error.h"

namespace {

namespace fs = std::filesystem;

std::once_flag modeRead;
mode_t newFileMode = 0644;  // what a new file gets: 0666 less the umask

void ReadNewFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  newFileMode = 0666 & ~mask;
}

constexpr char kTemporaryStem[] = ".clipwright-";

std::string FolderOf(const std::string& target) {
  const fs::path folder = fs::path(target).parent_path();
  return folder.empty() ? std::string(".") : folder.string();
}

std::string Cause(int code) { return ErrnoText(code); }

}  // namespace

bool IsSameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  return fs::exists(a, error) && fs::exists(b, error) && fs::equivalent(a, b, error);
}

TargetFile::TargetFile(const std::string& target) : target_(target) {
  std::call_once(modeRead, ReadNewFileMode);
  const std::string folder = FolderOf(target);
  std::error_code error;
  if (!fs::is_directory(folder, error))
    throw Error(ErrorKind::Failed, "the folder " + folder + (fs::exists(folder, error) ? " is not a folder" : " does not exist"));
  Leftovers::RemoveThoseOfDeadRuns(folder, kTemporaryStem);
  // Listed for the signal handler before the file exists, so that no moment
  // is left in which an interrupt would leave it behind.
  temporary_ = Leftovers::OwnedTemplate(folder, kTemporaryStem);
  slot_ = Leftovers::RemoveOnSignal(temporary_.c_str(), false);
  const int fd = ::mkostemp(temporary_.data(), O_CLOEXEC);
  if (fd < 0) {
    const int code = errno;
    Leftovers::Forget(slot_);
    slot_ = -1;
    temporary_.clear();
    throw Error(ErrorKind::Failed, "cannot create a file in " + folder + ": " + Cause(code));
  }
  // The result gets the permissions of the file it replaces, else those of a new file.
  struct stat old {};
  ::fchmod(fd, ::stat(target.c_str(), &old) == 0 ? (old.st_mode & 07777) : newFileMode);
  ::close(fd);
}

TargetFile::~TargetFile() {
  if (!committed_) Discard();
}

void TargetFile::Discard() {
  Leftovers::Forget(slot_);
  slot_ = -1;
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  temporary_.clear();
}

bool TargetFile::TakeOver(const std::string& file) {
  struct stat own {};
  if (::stat(temporary_.c_str(), &own) != 0) throw Error(ErrorKind::Failed, "cannot write " + target_ + ": " + Cause(errno));
  // Not renamed over the empty temporary file: ext4 writes back a file that
  // replaces another at once, which would cost the whole file's write-back
  // here. The name is free for a moment; NOREPLACE keeps whatever took it.
  ::unlink(temporary_.c_str());
  if (::renameat2(AT_FDCWD, file.c_str(), AT_FDCWD, temporary_.c_str(), RENAME_NOREPLACE) != 0) {
    const int code = errno;
    if (code == EXDEV) {
      // Back as it was: an empty temporary file of ours for the caller to write.
      const int fd = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, own.st_mode & 07777);
      if (fd < 0) throw Error(ErrorKind::Failed, "cannot write " + target_ + ": " + Cause(errno));
      ::close(fd);
      return false;
    }
    throw Error(ErrorKind::Failed, "cannot write " + target_ + ": " + Cause(code));
  }
  ::chmod(temporary_.c_str(), own.st_mode & 07777);
  return true;
}

void TargetFile::Commit() {
  auto fail = [this](int code) {
    Discard();
    throw Error(ErrorKind::Failed, "cannot write " + target_ + ": " + Cause(code));
  };
  const int fd = ::open(temporary_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) fail(errno);
  if (::fsync(fd) != 0) {
    const int code = errno;
    ::close(fd);
    fail(code);
  }
  ::close(fd);
  std::error_code error;
  if (fs::is_directory(target_, error)) fail(EISDIR);
  if (::rename(temporary_.c_str(), target_.c_str()) != 0) fail(errno);
  Leftovers::Forget(slot_);
  slot_ = -1;
  committed_ = true;
  // The new name lasts only once the folder is on disk too.
  const int dir = ::open(FolderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
}

std::string RunFailure(const TAuOutput& output, std::string failure, const std::string& target) {
  if (failure.empty() && !output.RunCompleted()) failure = "stopped before the end, nothing was saved";
  // A writer's message says what failed; the user also needs to know which file.
  return failure.empty() ? failure : WithFileName(std::move(failure), target);
}

std::string FinishTarget(std::unique_ptr<TargetFile> file, const TAuOutput& output, std::string failure) {
  failure = RunFailure(output, std::move(failure), file ? file->Target() : std::string());
  if (file && failure.empty()) {
    try {
      file->Commit();
    } catch (const std::exception& e) {
      failure = e.what();
    }
  }
  return failure;  // a failed run's temporary file goes with `file`
}
