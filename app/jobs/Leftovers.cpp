#include "app/jobs/Leftovers.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <mutex>

namespace Leftovers {
namespace {

namespace fs = std::filesystem;

// Paths the signal handler removes. Slots hold strings that live until they
// are forgotten; the handler only reads them.
struct Slot {
  std::atomic<const char*> path{nullptr};
  std::atomic<bool> folder{false};
};
constexpr int kSlots = 32;
std::array<Slot, kSlots> slots;
std::once_flag handlersInstalled;
std::mutex slotsLock;  // registration only; the handler reads without it

/// Removes a folder of files with calls that are safe in a signal handler.
void RemoveFlatFolder(const char* path) {
  const int dir = ::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    alignas(8) char buffer[4096];
    for (;;) {
      const long got = ::syscall(SYS_getdents64, dir, buffer, sizeof buffer);
      if (got <= 0) break;
      for (long at = 0; at < got;) {
        const auto* entry = reinterpret_cast<const struct dirent64*>(buffer + at);
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0) ::unlinkat(dir, name, 0);
        at += entry->d_reclen;
      }
    }
    ::close(dir);
  }
  ::rmdir(path);
}

void RemoveAndDie(int signal) {
  for (Slot& slot : slots) {
    const char* path = slot.path.load();
    if (path == nullptr) continue;
    if (slot.folder.load()) RemoveFlatFolder(path);
    else ::unlink(path);
  }
  // The handler was reset on entry and the signal is not blocked here, so
  // this ends the process as the signal would have; _exit if it returns.
  ::raise(signal);
  ::_exit(128 + signal);
}

void InstallHandlers() {
  // A write past the file-size limit (ulimit -f) then fails with EFBIG,
  // which the writer reports, instead of killing the process mid-file.
  ::signal(SIGXFSZ, SIG_IGN);
  struct sigaction action {};
  action.sa_handler = RemoveAndDie;
  action.sa_flags = SA_RESETHAND | SA_NODEFER;
  sigemptyset(&action.sa_mask);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction previous {};
    // A program that ignores the signal keeps ignoring it.
    if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
    ::sigaction(signal, &action, nullptr);
  }
}

bool Alive(pid_t pid) { return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM); }

}  // namespace

std::string OwnedTemplate(const std::string& folder, const std::string& stem) {
  std::string name = folder;
  if (!name.empty() && name.back() != '/') name += '/';
  return name + stem + std::to_string(::getpid()) + "-XXXXXX";
}

void RemoveThoseOfDeadRuns(const std::string& folder, const std::string& stem) {
  std::error_code error;
  for (fs::directory_iterator it(folder.empty() ? "." : folder, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.rfind(stem, 0) != 0) continue;
    // STEM<pid>-XXXXXX: six characters of mkstemp after the dash.
    const size_t dash = name.find('-', stem.size());
    if (dash == std::string::npos || dash == stem.size() || name.size() != dash + 7) continue;
    const std::string digits = name.substr(stem.size(), dash - stem.size());
    if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 9) continue;
    if (Alive(static_cast<pid_t>(std::stol(digits)))) continue;
    std::error_code ignored;
    fs::remove_all(it->path(), ignored);
  }
}

int RemoveOnSignal(const char* path, bool folder) {
  std::call_once(handlersInstalled, InstallHandlers);
  std::lock_guard lock(slotsLock);
  for (int i = 0; i < kSlots; ++i) {
    Slot& slot = slots[static_cast<size_t>(i)];
    if (slot.path.load() != nullptr) continue;
    slot.folder = folder;  // before the path, which publishes the slot
    slot.path = path;
    return i;
  }
  return -1;
}

void Forget(int slot) {
  std::lock_guard lock(slotsLock);
  if (slot >= 0 && slot < kSlots) slots[static_cast<size_t>(slot)].path = nullptr;
}

}  // namespace Leftovers
