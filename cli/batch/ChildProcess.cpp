#include "cli/batch/ChildProcess.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <stdexcept>

#include "platform/Error.h"

extern char** environ;

std::unique_ptr<ChildProcess> ChildProcess::Start(const std::string& program, const std::vector<std::string>& arguments) {
  int pipe[2];
  if (::pipe2(pipe, O_CLOEXEC) != 0) throw Error(ErrorKind::Failed, WithErrno("no pipe for a job", errno));
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipe[1], STDERR_FILENO);
  // The batch's handlers end at exec; signals it ignores (nohup) stay
  // ignored in the child, as they would in a shell's; no signal is blocked.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
  std::vector<std::string> words{program};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int failed = ::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  ::close(pipe[1]);
  if (failed != 0) {
    ::close(pipe[0]);
    throw Error(ErrorKind::Failed, WithErrno("cannot start " + program, failed));
  }
  ::fcntl(pipe[0], F_SETFL, ::fcntl(pipe[0], F_GETFL) | O_NONBLOCK);
  return std::unique_ptr<ChildProcess>(new ChildProcess(pid, pipe[0]));
}

ChildProcess::~ChildProcess() {
  if (!reaped_) {
    ::kill(pid_, SIGKILL);
    Wait();
  }
  ::close(fd_);
}

bool ChildProcess::Read(const std::function<void(const std::string& line)>& line) {
  char buffer[4096];
  for (;;) {
    const ssize_t got = ::read(fd_, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return errno == EAGAIN || errno == EWOULDBLOCK;
    if (got == 0) {
      if (!partial_.empty()) line(partial_), partial_.clear();
      return false;
    }
    partial_.append(buffer, static_cast<size_t>(got));
    size_t from = 0;
    for (size_t end; (end = partial_.find('\n', from)) != std::string::npos; from = end + 1)
      line(partial_.substr(from, end - from));
    partial_.erase(0, from);
  }
}

int ChildProcess::Wait() {
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  reaped_ = true;
  return status;
}

void ChildProcess::Signal(int signal) {
  if (!reaped_) ::kill(pid_, signal);
}
