#include "cli/batch/BatchRun.h"

#include <poll.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sys/wait.h>

#include "cli/Cli.h"
#include "cli/CommandHelpers.h"
#include "cli/batch/ChildProcess.h"

namespace {

using State = JobOutcome::State;
using Clock = std::chrono::steady_clock;

volatile sig_atomic_t gStopSignal = 0;
volatile sig_atomic_t gStopCount = 0;

void NoteStop(int signal) {
  gStopSignal = signal;
  gStopCount = gStopCount + 1;
}

/// The batch's handlers while it runs; the old ones come back after.
class StopSignals {
 public:
  StopSignals() {
    gStopSignal = 0;
    gStopCount = 0;
    struct sigaction action {};
    action.sa_handler = NoteStop;
    sigemptyset(&action.sa_mask);  // no SA_RESTART: poll returns at once
    for (size_t i = 0; i < 3; ++i) {
      ::sigaction(kSignals[i], nullptr, &old_[i]);
      // A batch started to ignore one (nohup) keeps ignoring it, and so do its jobs.
      if (old_[i].sa_handler != SIG_IGN) ::sigaction(kSignals[i], &action, nullptr);
    }
  }
  ~StopSignals() {
    for (size_t i = 0; i < 3; ++i) ::sigaction(kSignals[i], &old_[i], nullptr);
  }

 private:
  static constexpr int kSignals[3] = {SIGINT, SIGTERM, SIGHUP};
  struct sigaction old_[3] {};
};

std::string ClockText(double seconds) {
  const long s = std::lround(seconds);
  char text[32];
  if (s >= 3600) std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  else std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
  return text;
}

/// A job being run: its process and how far it says it is.
struct Running {
  size_t job = 0;
  std::unique_ptr<ChildProcess> process;
  double progress = 0;
  bool upToDate = false;  // a split whose pieces were all newer than the source
  std::string error, other;
};

class Batch {
 public:
  Batch(const std::vector<PlannedJob>& jobs, const BatchSettings& settings)
      : jobs_(jobs), settings_(settings), start_(Clock::now()) {
    result_.outcomes.resize(jobs.size());
    for (size_t i = 0; i < jobs.size(); ++i) {
      if (jobs[i].decision == PlannedJob::Decision::UpToDate) Finish(i, State::Skipped, {});
      else if (jobs[i].decision == PlannedJob::Decision::Bad) Finish(i, State::Failed, jobs[i].error);
      else ++toRun_;
    }
  }

  BatchResult Run() {
    StopSignals signals;
    for (;;) {
      if (gStopSignal != 0 && result_.stoppedBy == 0) Stop(gStopSignal);
      // Asked twice: the jobs are ended at once (the next run removes what they leave).
      if (gStopCount > 1 && !killed_) {
        killed_ = true;
        for (Running& run : running_) run.process->Signal(SIGKILL);
      }
      if (result_.stoppedBy == 0) StartReady();
      if (running_.empty()) break;
      std::vector<pollfd> fds;
      for (const Running& run : running_) fds.push_back({run.process->Descriptor(), POLLIN, 0});
      ::poll(fds.data(), fds.size(), 250);
      for (size_t i = running_.size(); i-- > 0;)
        if (!running_[i].process->Read([&](const std::string& line) { Heard(running_[i], line); })) Ended(i);
      Show(false);
    }
    for (JobOutcome& outcome : result_.outcomes)
      if (outcome.state == State::Pending) outcome.state = State::NotRun;
    Show(true);
    return std::move(result_);
  }

 private:
  bool Failing() const { return failed_ > 0 && !settings_.keepGoing; }

  /// Starts jobs, in order, while a worker is free: those whose source's
  /// maker ended well; those whose maker failed fail too.
  void StartReady() {
    for (size_t i = next_; i < jobs_.size() && running_.size() < settings_.workers && !Failing(); ++i) {
      if (result_.outcomes[i].state != State::Pending) {
        if (i == next_) ++next_;
        continue;
      }
      const long producer = jobs_[i].producer;
      const State made = producer < 0 ? State::Done : result_.outcomes[static_cast<size_t>(producer)].state;
      if (made == State::Pending || made == State::Running) continue;  // waits for it
      if (made == State::Failed || made == State::Stopped || made == State::NotRun) {
        Finish(i, State::Failed,
               "its source is the target of line " + std::to_string(jobs_[static_cast<size_t>(producer)].line) +
                   ", which was not made");
        continue;
      }
      Launch(i);
    }
  }

  void Launch(size_t i) {
    const PlannedJob& job = jobs_[i];
    std::vector<std::string> words{job.command};
    words.insert(words.end(), job.options.begin(), job.options.end());
    // Not skipped means made again: an older target is replaced.
    words.push_back(job.command == "split" && !settings_.force ? "--update" : "--force");
    words.insert(words.end(), {"--quiet", "--progress", "json"});
    if (cli::TakesThreads(job.command)) words.insert(words.end(), {"--threads", std::to_string(settings_.threadsEach)});
    words.emplace_back("--");
    words.insert(words.end(), job.sources.begin(), job.sources.end());
    words.push_back(job.target);
    try {
      Running run;
      run.job = i;
      run.process = ChildProcess::Start(settings_.program, words);
      running_.push_back(std::move(run));
      result_.outcomes[i].state = State::Running;
    } catch (const std::exception& e) {
      Finish(i, State::Failed, e.what());
    }
  }

  void Heard(Running& run, const std::string& line) {
    static const std::string kPrefix = "clipwright-cli: ", kNote = "clipwright-cli: note: ";
    if (!line.empty() && line[0] == '{') {
      const size_t at = line.find("\"progress\": ");
      if (at != std::string::npos) run.progress = std::strtod(line.c_str() + at + 12, nullptr);
      run.upToDate = run.upToDate || line.find("\"up_to_date\": true") != std::string::npos;
    } else if (line.rfind(kNote, 0) == 0) {
      Say(Where(run.job) + "note: " + line.substr(kNote.size()));
    } else if (line.rfind(kPrefix, 0) == 0) {
      run.error = line.substr(kPrefix.size());
    } else if (line.rfind("Try 'clipwright-cli", 0) != 0 && !line.empty() && run.other.empty()) {
      run.other = line;
    }
  }

  void Ended(size_t index) {
    Running run = std::move(running_[index]);
    running_.erase(running_.begin() + static_cast<long>(index));
    const int status = run.process->Wait();
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
      Finish(run.job, run.upToDate ? State::Skipped : State::Done, {});
      return;
    }
    // Ended by the batch's own stop: not a failure of the job; it runs again next time.
    if (result_.stoppedBy != 0) {
      Finish(run.job, State::Stopped, {});
      return;
    }
    std::string why = !run.error.empty() ? run.error : run.other;
    if (why.empty())
      why = WIFSIGNALED(status) ? "the job was ended by signal " + std::to_string(WTERMSIG(status))
                                : "the job ended with exit code " + std::to_string(WEXITSTATUS(status));
    Finish(run.job, State::Failed, why);
  }

  void Finish(size_t i, State state, const std::string& message) {
    result_.outcomes[i] = {state, message};
    ++finished_;
    if (state == State::Failed) {
      ++failed_;
      Say(Where(i) + message);
    }
    if (jobs_[i].decision == PlannedJob::Decision::Run) ++ranOut_;
  }

  void Stop(int signal) {
    result_.stoppedBy = signal;
    for (Running& run : running_) run.process->Signal(SIGTERM);
  }

  std::string Where(size_t i) const { return settings_.manifest + ":" + std::to_string(jobs_[i].line) + ": "; }

  /// A line for the user on stderr, above the progress line.
  void Say(const std::string& text) {
    if (settings_.bar) std::fputs("\r\033[K", stderr);
    std::fprintf(stderr, "clipwright-cli: %s\n", text.c_str());
    shown_ = -1;
  }

  /// The whole batch's progress: jobs ended count whole, running ones by their own.
  void Show(bool last) {
    if (!settings_.bar && !settings_.json) return;
    double ranWork = static_cast<double>(ranOut_);
    for (const Running& run : running_) ranWork += run.progress;
    const size_t total = jobs_.size();
    const double fraction = total == 0 ? 1 : (static_cast<double>(finished_ - ranOut_) + ranWork) / total;
    const int permille = static_cast<int>(fraction * 1000);
    if (permille == shown_ && finished_ == shownFinished_ && !last) return;
    if (settings_.json) {
      if (permille == shown_ && finished_ == shownFinished_) return;
      cli::SayJsonProgress(fraction, finished_, total);
    } else {
      const double elapsed = std::chrono::duration<double>(Clock::now() - start_).count();
      std::string left;
      if (ranWork > 0 && ranWork < toRun_) left = ", " + ClockText(elapsed * (toRun_ - ranWork) / ranWork) + " left";
      std::fprintf(stderr, "\r\033[K[%zu/%zu jobs] %3d%%%s", finished_, total, permille / 10, left.c_str());
      if (last) std::fputc('\n', stderr);
    }
    std::fflush(stderr);
    shown_ = permille;
    shownFinished_ = finished_;
  }

  const std::vector<PlannedJob>& jobs_;
  const BatchSettings& settings_;
  const Clock::time_point start_;
  BatchResult result_;
  std::vector<Running> running_;
  size_t next_ = 0;       // jobs before it have all been started or decided
  size_t finished_ = 0;   // ended, skipped or failed
  size_t ranOut_ = 0;     // of those to run, ended (well or not)
  size_t failed_ = 0;
  size_t toRun_ = 0;
  int shown_ = -1;
  bool killed_ = false;
  size_t shownFinished_ = SIZE_MAX;
};

}  // namespace

BatchResult RunBatch(const std::vector<PlannedJob>& jobs, const BatchSettings& settings) {
  return Batch(jobs, settings).Run();
}
