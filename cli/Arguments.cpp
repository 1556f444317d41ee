#include "cli/Arguments.h"

#include <QCommandLineParser>
#include <QFile>
#include <QStringList>

namespace {

std::string FileName(const QString& text) { return QFile::encodeName(text).toStdString(); }

}  // namespace

Arguments ParseArguments(int argc, char** argv) {
  QCommandLineParser parser;
  const QCommandLineOption start("start", "", "TIME"), end("end", "", "TIME"), bitrate("bitrate", "", "KBPS"),
      vbr("vbr", "", "QUALITY"), mode("mode", "", "MODE"), range("range", "", "START-END"), lossless("lossless", ""), force("force", ""),
      quiet("quiet", ""), help(QStringList{"h", "help"}, ""), version("version", ""), port("port", "", "N"),
      maxClients("max-clients", "", "N"), width("width", "", "N"), json("json", ""), exact("exact", ""),
      at("at", "", "TIMES"), every("every", "", "DURATION"), cue("cue", "", "FILE"), silence("silence", ""),
      threshold("threshold", "", "DB"), minSilence("min-silence", "", "SECONDS"), name("name", "", "PATTERN"),
      threads("threads", "", "N"), maxPieces("max-pieces", "", "N"), keep("keep", "", "SECONDS"), widen("widen", "", "SECONDS"),
      silences("silences", ""), gain("gain", "", "DB"), normalize("normalize", "", "TARGET"),
      fadeIn("fade-in", "", "MS"), fadeOut("fade-out", "", "MS"), fadeCurve("fade-curve", "", "CURVE"),
      replayGain("replaygain", "", "track|album"), crossfade("crossfade", "", "MS"),
      progress("progress", "", "json"), jobs("jobs", "", "N"), part("part", "", "I/N"), update("update", ""),
      keepGoing("keep-going", ""), dryRun("dry-run", "");
  parser.addOptions(
      {start, end, bitrate, vbr, mode, range, lossless, force, quiet, help, version, port, maxClients, width, json, exact,
       at, every, cue, silence, threshold, minSilence, name, threads, maxPieces, keep, widen, silences, gain, normalize, fadeIn,
       fadeOut, fadeCurve, replayGain, crossfade, progress, jobs, part, update, keepGoing, dryRun});
  QStringList words;
  for (int i = 0; i < argc; ++i) words << QFile::decodeName(argv[i]);

  Arguments args;
  if (!parser.parse(words)) {
    args.error = parser.errorText().toStdString();
    return args;
  }
  args.help = parser.isSet(help);
  args.version = parser.isSet(version);
  QStringList positional = parser.positionalArguments();
  if (!positional.isEmpty()) args.command = positional.takeFirst().toStdString();
  for (const QString& file : positional) args.files.push_back(FileName(file));
  const auto value = [&parser](const QCommandLineOption& option) -> std::optional<std::string> {
    if (!parser.isSet(option)) return std::nullopt;
    return parser.value(option).toStdString();  // the last one given counts
  };
  args.start = value(start);
  args.end = value(end);
  args.bitrate = value(bitrate);
  args.threads = value(threads);
  args.vbr = value(vbr);
  args.mode = value(mode);
  args.port = value(port);
  args.maxClients = value(maxClients);
  args.width = value(width);
  args.json = parser.isSet(json);
  args.at = value(at);
  args.every = value(every);
  args.cue = value(cue);
  args.silence = parser.isSet(silence);
  args.silences = parser.isSet(silences);
  args.keep = value(keep);
  args.widen = value(widen);
  args.gain = value(gain);
  args.normalize = value(normalize);
  args.fadeIn = value(fadeIn);
  args.fadeOut = value(fadeOut);
  args.fadeCurve = value(fadeCurve);
  args.replayGain = value(replayGain);
  args.crossfade = value(crossfade);
  args.progress = value(progress);
  args.jobs = value(jobs);
  args.part = value(part);
  args.update = parser.isSet(update);
  args.keepGoing = parser.isSet(keepGoing);
  args.dryRun = parser.isSet(dryRun);
  args.threshold = value(threshold);
  args.minSilence = value(minSilence);
  args.name = value(name);
  args.maxPieces = value(maxPieces);
  args.exact = parser.isSet(exact);
  for (const QString& text : parser.values(range)) args.ranges.push_back(text.toStdString());
  args.lossless = parser.isSet(lossless);
  args.force = parser.isSet(force);
  args.quiet = parser.isSet(quiet);
  return args;
}
