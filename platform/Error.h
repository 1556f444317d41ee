#pragma once

#include <stdexcept>
#include <string>

/// What went wrong, in kinds the tool turns into exit codes and the windows
/// into messages. Every message about a file names it.
enum class ErrorKind {
  Failed,          // a run or an operation failed; the text says why
  Usage,           // the request is wrong: times, options, a target of another format
  NoSuchFile,      // a source that is not there
  UnreadableFile,  // a source none of our inputs can read
  TargetExists,    // a target that exists and may not be replaced
  TargetIsSource,  // a target that is the source itself
  MissingLibrary,  // a library the program loads (FFmpeg, LAME) is not installed; the text names it
};

/// The kind's own words, for an error that needs no others: "no such file".
const char* ErrorText(ErrorKind kind);

/// An error of a kind about a file (empty when it is about none). what() is
/// the whole message: the text, then ": " and the file unless the text
/// names it already.
class Error : public std::runtime_error {
 public:
  Error(ErrorKind kind, const std::string& text, const std::string& file = {});
  ErrorKind Kind() const { return kind_; }
  const std::string& File() const { return file_; }

 private:
  ErrorKind kind_;
  std::string file_;
};

/// The kind of `error`: its own when it is one of ours, else `otherwise`.
ErrorKind KindOf(const std::exception& error, ErrorKind otherwise = ErrorKind::Failed);

/// The error is a library that is not installed: no file is to blame for it.
bool IsMissingLibrary(const std::exception& error);

/// `message`, followed by ": " and `file` unless it names the file already.
std::string WithFileName(std::string message, const std::string& file);

/// An errno value in the words a user knows: "the disk is full", "the disk
/// quota is used up", else the system's own ("Permission denied").
std::string ErrnoText(int code);
/// `what`, followed by ": " and ErrnoText(code); just `what` when `code` is 0.
std::string WithErrno(const std::string& what, int code);
