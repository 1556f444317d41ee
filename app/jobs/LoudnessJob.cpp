#include "app/jobs/LoudnessJob.h"

#include <algorithm>

#include "app/jobs/Job.h"
#include "audio/classes/FileIn.h"
#include "audio/formats/FormatRegistry.h"
#include "audio/peaks/FrameRangeReader.h"

namespace {

struct SourceFacts {
  int channels = 0, rate = 0;
  int64_t total = 0;
};

SourceFacts FactsOf(const std::string& source) {
  const std::unique_ptr<TAuFileIn> input = OpenSource(source, &FormatEntry::newInput);
  return {input->Channels(), input->SampleRate(), input->TotalSamples()};
}

/// Hands `meter` the frames [start, end) of the file; raises when it delivers fewer.
void Measure(FrameRangeReader& reader, const std::string& source, int64_t start, int64_t end,
             media::LoudnessMeter& meter, const std::function<bool()>& cancelled) {
  // As the decoder makes them: a lossy file's peaks above full scale are measured, not clipped.
  const int64_t read = reader.ReadFloat(
      start, end, [&](const float* samples, int64_t frames) { meter.Add(samples, frames); }, cancelled);
  if (read < end - start && !(cancelled && cancelled()))
    throw JobRefused(ErrorKind::UnreadableFile,
                     "it delivered " + std::to_string(read) + " of the " + std::to_string(end - start) +
                         " frames it counted",
                     source);
}

template <typename Work>
auto NamingTheFile(const std::string& source, Work work) {
  try {
    return work();
  } catch (const JobRefused&) {
    throw;
  } catch (const std::exception& e) {
    throw JobRefused(KindOf(e), e.what(), source);
  }
}

}  // namespace

media::LoudnessFigures MeasureLoudness(const std::string& source, int64_t start, int64_t end,
                                       const std::function<bool()>& cancelled) {
  const SourceFacts facts = FactsOf(source);
  end = end < 0 ? facts.total : std::min(end, facts.total);
  start = std::clamp<int64_t>(start, 0, end);
  return NamingTheFile(source, [&] {
    media::LoudnessMeter meter(facts.channels, facts.rate);
    FrameRangeReader reader(source, cancelled);
    Measure(reader, source, start, end, meter, cancelled);
    return meter.Figures();
  });
}

RangesLoudness MeasureLoudnessOfRanges(const std::string& source, const std::vector<std::pair<int64_t, int64_t>>& ranges) {
  const SourceFacts facts = FactsOf(source);
  return NamingTheFile(source, [&] {
    std::vector<std::unique_ptr<media::LoudnessMeter>> meters;
    std::vector<const media::LoudnessMeter*> all;
    FrameRangeReader reader(source);
    RangesLoudness result;
    for (const auto& [from, to] : ranges) {
      const int64_t end = to < 0 ? facts.total : std::min(to, facts.total);
      meters.push_back(std::make_unique<media::LoudnessMeter>(facts.channels, facts.rate));
      Measure(reader, source, std::clamp<int64_t>(from, 0, end), end, *meters.back(), {});
      all.push_back(meters.back().get());
      result.each.push_back(meters.back()->Figures());
    }
    result.together = media::LoudnessMeter::Together(all);
    return result;
  });
}
