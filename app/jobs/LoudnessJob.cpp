#include "app/jobs/LoudnessJob.h"

#include <algorithm>

#include "app/jobs/Job.h"
#include "audio/classes/FileIn.h"
#include "audio/formats/FormatRegistry.h"
#include "audio/peaks/FrameRangeReader.h"

media::LoudnessFigures MeasureLoudness(const std::string& source, int64_t start, int64_t end,
                                       const std::function<bool()>& cancelled) {
  int channels = 0, rate = 0;
  int64_t total = 0;
  {
    const std::unique_ptr<TAuFileIn> input = OpenSource(source, &FormatEntry::newExactInput);
    channels = input->Channels();
    rate = input->SampleRate();
    total = input->TotalSamples();
  }
  end = end < 0 ? total : std::min(end, total);
  start = std::clamp<int64_t>(start, 0, end);
  try {
    media::LoudnessMeter meter(channels, rate);
    FrameRangeReader reader(source, cancelled);
    const int64_t read = reader.Read(
        start, end, [&](const int16_t* samples, int64_t frames) { meter.Add(samples, frames); }, cancelled);
    if (read < end - start && !(cancelled && cancelled()))
      throw JobRefused(ErrorKind::UnreadableFile,
                       "it delivered " + std::to_string(read) + " of the " + std::to_string(end - start) +
                           " frames it counted",
                       source);
    return meter.Figures();
  } catch (const JobRefused&) {
    throw;
  } catch (const std::exception& e) {
    throw JobRefused(ErrorKind::Failed, e.what(), source);
  }
}
