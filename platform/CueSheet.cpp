#include "platform/CueSheet.h"

#include <fcntl.h>
#include <libcue.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <mutex>

#include "platform/Error.h"

namespace media {

namespace {

std::string Text(const char* text) { return text ? text : ""; }

/// libcue's parser writes what it cannot read to stderr, a line a character;
/// our error says it once. Sheets are read one at a time.
class QuietStderr {
 public:
  QuietStderr() {
    std::fflush(stderr);
    saved_ = ::dup(STDERR_FILENO);
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null >= 0) {
      ::dup2(null, STDERR_FILENO);
      ::close(null);
    }
  }
  ~QuietStderr() {
    std::fflush(stderr);
    if (saved_ >= 0) {
      ::dup2(saved_, STDERR_FILENO);
      ::close(saved_);
    }
  }
  QuietStderr(const QuietStderr&) = delete;
  QuietStderr& operator=(const QuietStderr&) = delete;

 private:
  int saved_ = -1;
};

std::mutex parsing;

/// The sheet's text as libcue's parser takes it: without a byte-order mark,
/// and ending with a line break (its grammar needs one after the last line,
/// which many sheets leave out).
std::string SheetText(const std::string& fileName) {
  // Sheets are a few kilobytes; anything much larger is not one.
  constexpr long kLargestSheet = 1 << 20;
  FILE* file = std::fopen(fileName.c_str(), "rb");
  if (file == nullptr) throw Error(ErrorKind::UnreadableFile, ErrnoText(errno), fileName);
  std::string text(kLargestSheet + 1, '\0');
  const size_t got = std::fread(text.data(), 1, text.size(), file);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) throw Error(ErrorKind::UnreadableFile, "it cannot be read", fileName);
  if (got > static_cast<size_t>(kLargestSheet)) throw Error(ErrorKind::UnreadableFile, "too large for a cue sheet", fileName);
  text.resize(got);
  if (text.find('\0') != std::string::npos) throw Error(ErrorKind::UnreadableFile, "not a cue sheet (it holds binary data)", fileName);
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
  if (!text.empty() && text.back() != '\n') text += '\n';
  return text;
}

}  // namespace

CueSheet ReadCueSheet(const std::string& fileName) {
  const std::string text = SheetText(fileName);
  std::unique_ptr<Cd, decltype(&cd_delete)> cd(nullptr, cd_delete);
  {
    std::lock_guard hold(parsing);
    const QuietStderr quiet;
    cd.reset(cue_parse_string(text.c_str()));
  }
  if (!cd || cd_get_ntrack(cd.get()) < 1) throw Error(ErrorKind::UnreadableFile, "not a cue sheet with tracks", fileName);
  CueSheet sheet;
  if (const Cdtext* text = cd_get_cdtext(cd.get())) {
    sheet.title = Text(cdtext_get(PTI_TITLE, text));
    sheet.performer = Text(cdtext_get(PTI_PERFORMER, text));
  }
  for (int i = 1; i <= cd_get_ntrack(cd.get()); ++i) {
    const Track* track = cd_get_track(cd.get(), i);
    if (track == nullptr) continue;
    CueTrack entry;
    entry.number = i;
    const long index1 = track_get_index(track, 1);
    entry.start75 = index1 >= 0 ? index1 : track_get_start(track);
    entry.file = Text(track_get_filename(track));
    if (const Cdtext* text = track_get_cdtext(track)) {
      entry.title = Text(cdtext_get(PTI_TITLE, text));
      entry.performer = Text(cdtext_get(PTI_PERFORMER, text));
    }
    sheet.tracks.push_back(entry);
  }
  return sheet;
}

}  // namespace media
