#include "cli/Cli.h"

#include <cstdio>
#include <string>

#include "Version.h"
#include "cli/Arguments.h"
#include "cli/CommandHelpers.h"
#include "cli/Commands.h"

namespace {

using namespace cli;

/// Each command's usage lines.
struct CommandUsage {
  const char* command;
  const char* lines;
};
constexpr CommandUsage kCommandUsage[] = {
    {"info", "  clipwright-cli info FILE\n"},
    {"cut", "  clipwright-cli cut SOURCE TARGET --start TIME --end TIME [--lossless] [--force] [--quiet]\n"},
    {"decode", "  clipwright-cli decode SOURCE TARGET.wav [--force] [--quiet]\n"},
    {"encode",
     "  clipwright-cli encode SOURCE TARGET.mp3 [--bitrate KBPS] [--vbr QUALITY] [--mode stereo|joint|mono]\n"
     "                        [--force] [--quiet]\n"
     "  clipwright-cli encode SOURCE TARGET.wma [--bitrate KBPS] [--force] [--quiet]\n"},
    {"join", "  clipwright-cli join FILE1 FILE2 TARGET [--force] [--quiet]\n"},
    {"mix", "  clipwright-cli mix FILE1 FILE2 TARGET [--force] [--quiet]\n"},
    {"stream", "  clipwright-cli stream SOURCE [--port N] [--max-clients N] [--bitrate KBPS] [--quiet]\n"},
    {"peaks", "  clipwright-cli peaks FILE [--width N] [--start T --end T] [--exact] [--json]\n"},
    {"remove",
     "  clipwright-cli remove SOURCE TARGET --range START-END [--range START-END ...] [--lossless] [--force] "
     "[--quiet]\n"},
};

constexpr char kUsageNotes[] =
    "TIME is hh:mm:ss.t or seconds (12.345). Options take their value as --start TIME or --start=TIME.\n"
    "--lossless (MP3 only) copies the source's frames instead of re-encoding them, exact to the sample.\n"
    "peaks prints the lowest and highest sample of each channel in N columns (1000 unless given) of the\n"
    "file or of [--start, --end); for MP3 an estimate from the frames unless --exact, which decodes (on every\n"
    "core). T also takes seconds with any number of decimals and frame counts (123456s).\n"
    "stream serves SOURCE as a WMA stream over HTTP (any player opens the address it prints) until the\n"
    "source ends or Ctrl+C; --port 0 (the default) takes a free port, --max-clients 0 allows any number.\n"
    "Exit codes: 0 done, 1 usage, 2 source unreadable, 3 target refused, 4 the run failed.\n";

/// The usage of one command, or of all of them when `command` is none of them.
std::string UsageText(const std::string& command) {
  std::string text = "usage:\n";
  bool one = false;
  for (const CommandUsage& usage : kCommandUsage)
    if (usage.command == command) text += usage.lines, one = true;
  if (!one) {
    for (const CommandUsage& usage : kCommandUsage) text += usage.lines;
    text += "  clipwright-cli --help | --version\n";
  }
  return text + kUsageNotes;
}

}  // namespace

int RunCli(int argc, char** argv) {
  using namespace cli;
  const Arguments args = ParseArguments(argc, argv);
  if (!args.error.empty()) return Fail(kUsage, args.error);
  if (args.help) {
    std::fputs(UsageText(args.command).c_str(), stdout);
    return kDone;
  }
  if (args.version) {
    std::printf("clipwright-cli %s (build %s)\n", CLIPWRIGHT_VERSION, CLIPWRIGHT_BUILD);
    return kDone;
  }
  const std::string& command = args.command;
  if (command.empty()) return Fail(kUsage, "no command");
  if (command == "info") return Info(args);
  if (command == "cut") return Cut(args);
  if (command == "decode") return Decode(args);
  if (command == "encode") return Encode(args);
  if (command == "join") return Join(args, amConcatenate);
  if (command == "mix") return Join(args, amMix);
  if (command == "remove") return Remove(args);
  if (command == "stream") return Stream(args);
  if (command == "peaks") return Peaks(args);
  return Fail(kUsage, "unknown command " + command);
}

