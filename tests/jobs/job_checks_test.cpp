// The checks every job makes before it starts, and the kinds of its refusals.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "app/jobs/CutJob.h"
#include "app/jobs/Job.h"
#include "audio/ACS_Classes.h"
#include "audio/formats/FormatRegistry.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAudio.h"

namespace {

ErrorKind KindOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const Error& e) {
    return e.Kind();
  }
  return ErrorKind::Failed;
}

TEST(JobChecks, SourcesAreRefusedByKindAndName) {
  TempDir dir;
  const std::string missing = dir.File("missing.wav");
  try {
    OpenSource(missing, &FormatEntry::newInput);
    FAIL() << "a missing file opened";
  } catch (const JobRefused& e) {
    EXPECT_EQ(e.Kind(), ErrorKind::NoSuchFile);
    EXPECT_EQ(e.File(), missing);
    EXPECT_EQ(std::string(e.what()), "no such file: " + missing);
  }
  const std::string text = dir.File("notes.txt");
  WriteBytes(text, {'a'});
  EXPECT_EQ(KindOf([&] { OpenSource(text, &FormatEntry::newInput); }), ErrorKind::UnreadableFile);
  std::filesystem::create_directory(dir.File("folder.wav"));
  EXPECT_EQ(KindOf([&] { OpenSource(dir.File("folder.wav"), &FormatEntry::newInput); }), ErrorKind::UnreadableFile);
  const std::string wav = dir.File("tone.wav");
  WritePcmWav(wav, 8000, 1, 8000);
  EXPECT_EQ(OpenSource(wav, &FormatEntry::newInput)->TotalSamples(), 8000);
}

TEST(JobChecks, TargetsAreNeverTheSourceAndReplacedOnlyWhenAllowed) {
  TempDir dir;
  const std::string wav = dir.File("tone.wav"), link = dir.File("link.wav"), other = dir.File("other.wav");
  WritePcmWav(wav, 8000, 1, 8000);
  std::filesystem::create_symlink(wav, link);
  EXPECT_EQ(KindOf([&] { CheckTarget(link, {other, wav}, true); }), ErrorKind::TargetIsSource);
  WriteBytes(other, {'o'});
  EXPECT_EQ(KindOf([&] { CheckTarget(other, {wav}, false); }), ErrorKind::TargetExists);
  EXPECT_NO_THROW(CheckTarget(other, {wav}, true));
  EXPECT_NO_THROW(CheckTarget(dir.File("new.wav"), {wav}, false));
  EXPECT_EQ(KindOf([&] { CheckTargetFormat(*FindFormat(AudioFormat::Wav), dir.File("x.mp3"), "the source is"); }),
            ErrorKind::Usage);
}

TEST(JobChecks, ACutThatCannotStartWritesNothing) {
  TempDir dir;
  const std::string wav = dir.File("tone.wav");
  WritePcmWav(wav, 8000, 1, 8000);
  CutRequest request;
  request.source = wav;
  request.target = dir.File("cut.wav");
  request.startMs = 900;
  request.endMs = 400;  // before the start
  EXPECT_EQ(KindOf([&] { StartCut(request, {}); }), ErrorKind::Usage);
  request.endMs = 2000;
  request.target = dir.File("cut.mp3");
  EXPECT_EQ(KindOf([&] { StartCut(request, {}); }), ErrorKind::Usage);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);  // the source alone
}

TEST(ErrorTexts, ErrnoWordingsAndFileNames) {
  EXPECT_EQ(ErrnoText(ENOSPC), "the disk is full");
  EXPECT_EQ(WithErrno("Error writing wave file", EFBIG),
            "Error writing wave file: the file is larger than this file system or its limit allows");
  EXPECT_EQ(WithErrno("done", 0), "done");
  EXPECT_EQ(WithFileName("cannot read /a/b.wav", "/a/b.wav"), "cannot read /a/b.wav");  // named already
  const Error error(ErrorKind::TargetExists, ErrorText(ErrorKind::TargetExists), "/x.wav");
  EXPECT_STREQ(error.what(), "the target exists: /x.wav");
}

}  // namespace
