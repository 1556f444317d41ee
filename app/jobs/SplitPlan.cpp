#include "app/jobs/SplitPlan.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "app/jobs/Job.h"
#include "audio/formats/FormatRegistry.h"
#include "platform/CueSheet.h"

namespace fs = std::filesystem;

std::vector<SplitPiece> PiecesAt(std::vector<int64_t> boundaries, int64_t total) {
  std::sort(boundaries.begin(), boundaries.end());
  boundaries.erase(std::unique(boundaries.begin(), boundaries.end()), boundaries.end());
  std::erase_if(boundaries, [total](int64_t at) { return at <= 0 || at >= total; });
  if (boundaries.empty()) throw JobRefused(ErrorKind::Usage, "no boundary lies inside the file: it would stay one piece");
  boundaries.insert(boundaries.begin(), 0);
  boundaries.push_back(total);
  std::vector<SplitPiece> pieces;
  for (size_t i = 0; i + 1 < boundaries.size(); ++i) {
    SplitPiece piece;
    piece.range = {boundaries[i], boundaries[i + 1] - 1};
    pieces.push_back(piece);
  }
  return pieces;
}

std::vector<int64_t> BoundariesEvery(int64_t frames, int64_t total) {
  std::vector<int64_t> boundaries;
  if (frames <= 0) return boundaries;
  for (int64_t at = frames; at < total; at += frames) boundaries.push_back(at);
  return boundaries;
}

std::vector<SplitPiece> PiecesOfCueSheet(const media::CueSheet& sheet, const std::string& cueName,
                                         const std::string& source, int sampleRate, int64_t total) {
  const std::string sourceName = fs::path(source).filename().string();
  std::vector<int64_t> starts;
  for (const media::CueTrack& track : sheet.tracks) {
    if (!track.file.empty() && fs::path(track.file).filename().string() != sourceName)
      throw JobRefused(ErrorKind::Usage,
                       "the cue sheet is for " + track.file + ", not for " + sourceName + " (track " +
                           std::to_string(track.number) + ")",
                       cueName);
    const auto frame = static_cast<int64_t>(std::nearbyint(static_cast<double>(track.start75) * sampleRate / 75.0));
    if (frame >= total)
      throw JobRefused(ErrorKind::Usage,
                       "track " + std::to_string(track.number) + " of the cue sheet starts at or past the end of " +
                           sourceName,
                       cueName);
    starts.push_back(frame);
  }
  std::vector<SplitPiece> pieces;
  const auto count = static_cast<int>(sheet.tracks.size());
  for (int i = 0; i < count; ++i) {
    const media::CueTrack& track = sheet.tracks[static_cast<size_t>(i)];
    SplitPiece piece;
    piece.range.startSample = i == 0 ? 0 : starts[static_cast<size_t>(i)];
    const int64_t next = i + 1 < count ? starts[static_cast<size_t>(i + 1)] : total;
    if (next <= piece.range.startSample)
      throw JobRefused(ErrorKind::Usage, "the tracks of the cue sheet are not in order (track " +
                                             std::to_string(track.number) + ")", cueName);
    piece.range.endSample = next - 1;
    piece.title = track.title;
    piece.artist = track.performer.empty() ? sheet.performer : track.performer;
    piece.track = i + 1;
    piece.tracks = count;
    pieces.push_back(piece);
  }
  return pieces;
}

std::string PieceName(const std::string& pattern, const SplitPiece& piece, int number, int count,
                      const std::string& source) {
  const auto clean = [](std::string text) {
    std::replace(text.begin(), text.end(), '/', '_');
    return text;
  };
  std::string digits = std::to_string(number);
  digits.insert(0, std::to_string(count).size() - std::min(digits.size(), std::to_string(count).size()), '0');
  const fs::path path(source);
  const std::pair<std::string, std::string> fields[] = {
      {"{n}", digits}, {"{title}", clean(piece.title)}, {"{artist}", clean(piece.artist)},
      {"{source}", path.stem().string()}};
  std::string name = pattern;
  for (const auto& [key, value] : fields)
    for (size_t at = name.find(key); at != std::string::npos; at = name.find(key, at + value.size()))
      name.replace(at, key.size(), value);
  return clean(name) + ResultExtension(source);
}
