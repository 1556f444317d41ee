#pragma once
// A program run by a batch: its stderr read line by line as it writes.

#include <sys/types.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class ChildProcess {
 public:
  /// Starts `program` with `arguments` (after its name), stdin and stdout
  /// on /dev/null, stderr on a pipe. Raises std::runtime_error when it cannot.
  static std::unique_ptr<ChildProcess> Start(const std::string& program, const std::vector<std::string>& arguments);
  ~ChildProcess();  // a child still running is killed and reaped
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  /// What to poll for its output.
  int Descriptor() const { return fd_; }
  /// Reads what is waiting and hands each complete line to `line`; false once
  /// the child has closed its stderr (it is ending), the last line handed too.
  bool Read(const std::function<void(const std::string& line)>& line);
  /// Waits for the child to end: its wait status.
  int Wait();
  void Signal(int signal);

 private:
  ChildProcess(pid_t pid, int fd) : pid_(pid), fd_(fd) {}
  pid_t pid_;
  int fd_;
  std::string partial_;
  bool reaped_ = false;
};
