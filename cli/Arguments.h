#pragma once

#include <optional>
#include <string>
#include <vector>

/// A parsed command line: the command word, its files and options. Options
/// take their value as `--start TIME` or `--start=TIME`, before or after the
/// files; `--` ends the options.
struct Arguments {
  std::string command;
  std::vector<std::string> files;
  std::optional<std::string> start, end;
  std::optional<std::string> bitrate, vbr, mode;
  std::optional<std::string> port, maxClients, width;
  std::optional<std::string> threads;  // MP3 encoding
  std::optional<std::string> at, every, cue, threshold, minSilence, name, maxPieces;  // split
  std::optional<std::string> keep;  // seconds of each silence kept (split --silence, remove --silences)
  std::optional<std::string> widen;  // remove --range: seconds added on each side
  std::optional<std::string> gain, normalize, fadeIn, fadeOut, fadeCurve, replayGain;
  std::optional<std::string> crossfade;  // remove and join: the joins' crossfade
  std::optional<std::string> progress;   // "json": one progress object a line on stderr
  std::optional<std::string> jobs, part;  // batch: workers, and which share of the manifest
  bool update = false;     // split: only the pieces missing or older than the source
  bool keepGoing = false;  // batch: run every job whatever fails
  bool dryRun = false;     // batch: say what would run
  bool silence = false;
  bool silences = false;  // remove
  bool json = false;
  bool exact = false;  // peaks from the decoded samples, not an estimate
  std::vector<std::string> ranges;
  bool lossless = false;
  bool force = false;
  bool quiet = false;
  bool help = false;
  bool version = false;
  std::string error;  // why the line could not be read; the rest is then unset
};

Arguments ParseArguments(int argc, char** argv);
