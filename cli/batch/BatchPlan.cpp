#include "cli/batch/BatchPlan.h"

#include <filesystem>
#include <set>
#include <unordered_map>

#include "cli/Arguments.h"
#include "cli/Cli.h"

namespace fs = std::filesystem;

namespace {

const std::set<std::string> kBatchCommands = {"cut", "split", "remove", "encode", "decode", "join", "mix"};

bool TakesTwoSources(const std::string& command) { return command == "join" || command == "mix"; }

/// The arguments of the line's command, as the command reads them: options
/// first, then the files after "--" so that no file name reads as an option.
std::vector<std::string> CommandWords(const PlannedJob& job) {
  std::vector<std::string> words{job.command};
  words.insert(words.end(), job.options.begin(), job.options.end());
  words.emplace_back("--");
  words.insert(words.end(), job.sources.begin(), job.sources.end());
  words.push_back(job.target);
  return words;
}

/// Why the line is no job the batch can run; empty when it is one.
std::string CheckLine(const PlannedJob& job) {
  if (job.command.empty()) return "no command";
  if (kBatchCommands.count(job.command) == 0)
    return "a batch runs cut, split, remove, encode, decode, join and mix jobs, not " + job.command;
  const size_t sources = TakesTwoSources(job.command) ? 2 : 1;
  if (job.sources.size() != sources) return job.command + " takes " + (sources == 2 ? "two sources" : "one source");
  if (job.target.empty()) return "no target";
  std::vector<std::string> words = CommandWords(job);
  words.insert(words.begin(), "clipwright-cli");
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  const Arguments args = ParseArguments(static_cast<int>(argv.size()), argv.data());
  if (!args.error.empty()) return args.error;
  if (args.force || args.quiet || args.progress || args.threads || args.update || args.help || args.version)
    return "the batch gives --force, --update, --quiet, --progress and --threads itself";
  return cli::Misuse(args);
}

std::string Key(const std::string& file) {
  std::error_code error;
  const fs::path absolute = fs::absolute(file, error);
  return (error ? fs::path(file) : absolute).lexically_normal().string();
}

/// The target is there and newer than every source.
bool NewerThanSources(const PlannedJob& job) {
  std::error_code error;
  const auto target = fs::last_write_time(job.target, error);
  if (error || !fs::is_regular_file(job.target, error)) return false;
  for (const std::string& source : job.sources) {
    const auto time = fs::last_write_time(source, error);
    if (error || time >= target) return false;
  }
  return true;
}

}  // namespace

std::string PlannedJob::Words() const {
  std::string text = "clipwright-cli";
  for (const std::string& word : CommandWords(*this)) {
    const bool plain = !word.empty() && word.find_first_of(" \t\"'\\$`*?") == std::string::npos;
    if (plain) {
      text += " " + word;
      continue;
    }
    std::string quoted = " '";
    for (const char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    text += quoted + "'";
  }
  return text;
}

std::vector<PlannedJob> PlanBatch(const std::vector<ManifestJob>& manifest, const BatchPlanRequest& request) {
  std::vector<PlannedJob> jobs;
  std::unordered_map<std::string, size_t> made;  // a target's key: the job that writes it
  for (size_t i = request.part; i < manifest.size(); i += request.parts) {
    const ManifestJob& line = manifest[i];
    PlannedJob job;
    job.line = line.line;
    job.command = line.command;
    job.sources = line.sources;
    job.target = line.target;
    job.options = line.options;
    job.error = line.error.empty() ? CheckLine(job) : line.error;
    if (!job.error.empty()) {
      job.decision = PlannedJob::Decision::Bad;
      jobs.push_back(std::move(job));
      continue;
    }
    bool remade = false;  // a source is written by a job before this one that runs
    for (const std::string& source : job.sources) {
      const auto producer = made.find(Key(source));
      if (producer == made.end()) continue;
      job.producer = static_cast<long>(producer->second);
      remade = remade || jobs[producer->second].decision != PlannedJob::Decision::UpToDate;
    }
    // Splits may share a folder; their pieces are named apart.
    if (job.command != "split") {
      const auto [other, fresh] = made.emplace(Key(job.target), jobs.size());
      if (!fresh) {
        job.decision = PlannedJob::Decision::Bad;
        job.error = "writes the target of line " + std::to_string(jobs[other->second].line) + ": " + job.target;
        jobs.push_back(std::move(job));
        continue;
      }
      if (!request.force && !remade && NewerThanSources(job)) job.decision = PlannedJob::Decision::UpToDate;
    }
    jobs.push_back(std::move(job));
  }
  return jobs;
}
