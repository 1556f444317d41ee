#include "app/jobs/Job.h"

#include <filesystem>

#include "app/jobs/CutJob.h"
#include "app/jobs/TargetFile.h"
#include "audio/ACS_Classes.h"
#include "audio/formats/FormatRegistry.h"

namespace fs = std::filesystem;

void CheckTarget(const std::string& target, const std::vector<std::string>& sources, bool replace) {
  std::error_code error;
  if (!fs::exists(target, error)) return;
  for (const std::string& source : sources)
    if (IsSameFile(source, target)) throw JobRefused(ErrorKind::TargetIsSource, ErrorText(ErrorKind::TargetIsSource), target);
  if (!replace) throw JobRefused(ErrorKind::TargetExists, ErrorText(ErrorKind::TargetExists), target);
}

void CheckWritable(const std::string& target) {
  if (IsReadOnlyExtension(target))
    throw JobRefused(ErrorKind::Usage,
                     "AAC without a container cannot mark where its audio starts and ends: save it as " +
                         FormatEntryOfFile(target)->extensions.front(),
                     target);
}

void CheckTargetFormat(const FormatEntry& entry, const std::string& target, const std::string& what) {
  CheckWritable(target);
  if (FormatEntryOfFile(target) == &entry) return;
  throw JobRefused(ErrorKind::Usage, std::string("the target must be a ") + entry.name + " file, as " + what,
                   target);
}

std::unique_ptr<TAuFileIn> OpenSource(const std::string& name, std::unique_ptr<TAuFileIn> (*FormatEntry::*make)()) {
  std::error_code error;
  if (!fs::exists(name, error)) throw JobRefused(ErrorKind::NoSuchFile, ErrorText(ErrorKind::NoSuchFile), name);
  try {
    TAuFileStream probe(name, TFileMode::Read);  // refuses folders, pipes and devices, saying which
  } catch (const std::exception& e) {
    throw JobRefused(ErrorKind::UnreadableFile, e.what(), name);
  }
  const FormatEntry* entry = FormatEntryOfFile(name);
  if (!entry) throw JobRefused(ErrorKind::UnreadableFile, "unsupported file type", name);
  std::unique_ptr<TAuFileIn> input = (entry->*make)();
  InputRate(*entry, *input, name);
  return input;
}

OutputJob::OutputJob(JobEvents events) : events_(std::move(events)) {}

void StopAndClearHandlers(TAuOutput& output) {
  if (output.Busy()) output.Stop(false);
  output.OnDone = nullptr;
  output.OnProgress = nullptr;
  output.OnThreadException = nullptr;
}

OutputJob::~OutputJob() {
  // Until the output has stopped its handlers do nothing: a window being closed hears no more.
  closing_ = true;
  if (output_) StopAndClearHandlers(*output_);
  output_.reset();
}

TAuFileOut& OutputJob::SetOutput(std::unique_ptr<TAuFileOut> output) {
  output_ = std::move(output);
  output_->OnProgress = [this](TComponent*) {
    if (!closing_ && events_.progress) events_.progress(output_->Progress());
  };
  output_->OnThreadException = [this](TComponent*) {
    if (closing_) return;
    failure_ = output_->ExceptionMessage();
    failureKind_ = output_->ExceptionKind();
  };
  output_->OnDone = [this](TComponent*) {
    if (!closing_) Done();
  };
  return *output_;
}

const std::string& OutputJob::OpenTarget(const std::string& target) {
  target_ = std::make_unique<TargetFile>(target);
  return target_->TemporaryName();
}

void OutputJob::Run() {
  failure_.clear();
  failureKind_ = ErrorKind::Failed;
  running_ = true;
  try {
    output_->Run();
  } catch (...) {
    running_ = false;
    throw;
  }
}

void OutputJob::Stop() {
  if (running_) output_->Stop(true);
}

void OutputJob::Done() {
  running_ = false;
  if (beforeCommit_ && failure_.empty() && output_->RunCompleted() && target_) {
    try {
      beforeCommit_(target_->TemporaryName());
    } catch (const std::exception& e) {
      failure_ = e.what();
    }
  }
  const std::string failure = FinishTarget(std::move(target_), *output_, std::move(failure_));
  failure_.clear();
  if (events_.finished) events_.finished(failure);
}
