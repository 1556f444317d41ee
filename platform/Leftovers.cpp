#include "platform/Leftovers.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "platform/Error.h"

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

std::string ReadBootId() {
  std::ifstream file("/proc/sys/kernel/random/boot_id");
  std::string id;
  std::getline(file, id);
  return id;
}

std::string HostName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

bool IsHex(const std::string& text) { return text.find_first_not_of("0123456789abcdef") == std::string::npos; }

}  // namespace

std::string MachineToken(const std::string& hostName, const std::string& bootId) {
  // FNV-1a: short, stable across builds and versions, enough to tell apart
  // the handful of machines that share one folder.
  uint32_t hash = 2166136261u;
  for (const char c : hostName + '\n' + bootId) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 16777619u;
  }
  char text[9];
  std::snprintf(text, sizeof text, "%08x", hash);
  return text;
}

std::string MachineToken() {
  static const std::string token = MachineToken(HostName(), ReadBootId());
  return token;
}

std::string OwnedTemplate(const std::string& folder, const std::string& stem) {
  std::string name = folder;
  if (!name.empty() && name.back() != '/') name += '/';
  return name + stem + std::to_string(::getpid()) + "-" + MachineToken() + "-XXXXXX";
}

void RemoveThoseOfDeadRuns(const std::string& folder, const std::string& stem) {
  const std::string machine = MachineToken();
  std::error_code error;
  for (fs::directory_iterator it(folder.empty() ? "." : folder, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.rfind(stem, 0) != 0) continue;
    // STEM<pid>-<machine>-XXXXXX: eight hex digits, then six characters of mkstemp.
    const size_t dash = name.find('-', stem.size());
    if (dash == std::string::npos || dash == stem.size() || name.size() != dash + 1 + 8 + 1 + 6) continue;
    const std::string digits = name.substr(stem.size(), dash - stem.size());
    if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 9) continue;
    const std::string token = name.substr(dash + 1, 8);
    if (!IsHex(token) || name[dash + 9] != '-') continue;
    if (token != machine || Alive(static_cast<pid_t>(std::stol(digits)))) continue;
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

ScratchFile::ScratchFile(const std::string& folder, const std::string& stem) {
  RemoveThoseOfDeadRuns(folder, stem);
  name_ = OwnedTemplate(folder, stem);
  // Listed before the file exists: no moment in which a signal leaves it behind.
  slot_ = RemoveOnSignal(name_.c_str(), false);
  const int fd = ::mkostemp(name_.data(), O_CLOEXEC);
  if (fd < 0) {
    const int code = errno;
    Forget(slot_);
    throw Error(ErrorKind::Failed, "cannot create a file in " + folder + ": " + ErrnoText(code));
  }
  ::close(fd);
}

ScratchFile::~ScratchFile() {
  Forget(slot_);
  ::unlink(name_.c_str());
}

}  // namespace Leftovers
