#include "app/jobs/ReplayGain.h"

#include <algorithm>
#include <cmath>
#include <cstdio>


namespace {

/// ReplayGain 2.0's reference loudness.
constexpr double kReferenceLufs = -18.0;

}  // namespace

TagFields ReplayGainFields(const media::LoudnessFigures& figures, double factor, bool album) {
  if (!std::isfinite(figures.integrated) || !std::isfinite(figures.truePeak)) return {};
  const std::string kind = album ? "ALBUM" : "TRACK";
  char gain[32], peak[32];
  std::snprintf(gain, sizeof gain, "%.2f dB", kReferenceLufs - (figures.integrated + media::Decibels(factor)));
  std::snprintf(peak, sizeof peak, "%.6f", media::GainFactor(figures.truePeak) * factor);
  return {{"REPLAYGAIN_" + kind + "_GAIN", gain}, {"REPLAYGAIN_" + kind + "_PEAK", peak}};
}

void SetTagFields(const std::string& fileName, media::TagContainer container, const TagFields& fields) {
  media::TagSet tags = media::ReadTags(fileName, container);
  for (const auto& field : fields) {
    const std::string& name = field.first;
    std::erase_if(tags.fields, [&name](const auto& kept) { return kept.first == name; });
    tags.fields.push_back(field);
  }
  media::WriteTags(fileName, container, tags);
}
