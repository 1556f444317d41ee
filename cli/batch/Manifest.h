#pragma once
// A batch's manifest: one job of clipwright-cli a line, as TSV under a header
// line naming the columns, or as JSON Lines.

#include <istream>
#include <string>
#include <vector>

/// One line of a manifest that names a job.
struct ManifestJob {
  size_t line = 0;  // 1-based, in the manifest as read
  std::string command;
  std::vector<std::string> sources;  // one, or two for join and mix
  std::string target;                // a file, or split's folder
  std::vector<std::string> options;  // as on the command line: "--start", "1:00", "--lossless"
  std::string error;                 // why the line is no job; empty when it is one
};

struct Manifest {
  std::vector<ManifestJob> jobs;
  /// Why the manifest as a whole cannot be read (a header without the
  /// columns a job needs); empty when it can.
  std::string error;
};

/// Reads a manifest. JSON Lines when its first line that is not blank or a
/// comment (#) opens an object: {"command": "cut", "source": "a.wav",
/// "target": "b.wav", "options": {"start": "1:00", "lossless": true}}, the
/// options also as an array of words, "source" also as an array of two
/// (join, mix). Otherwise TSV: a header naming the columns command, source,
/// target and optionally source2 and options, in any order; an options cell
/// is split at spaces, with "double quotes" around a word holding spaces.
/// Blank lines and lines starting with # are no jobs in either.
Manifest ReadManifest(std::istream& in);

/// The words of an options cell: split at spaces and tabs, "quoted" words
/// kept whole (\" and \\ inside them); false when a quote is left open.
bool SplitOptionWords(const std::string& cell, std::vector<std::string>& words);
