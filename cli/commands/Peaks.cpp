// clipwright-cli peaks: the waveform's overview.
#include "cli/Commands.h"

#include "app/jobs/Global.h"
#include "app/jobs/TimeRange.h"
#include "audio/peaks/FrameRangeReader.h"
#include "audio/peaks/PeaksProvider.h"
#include "audio/ACS_Classes.h"
#include "audio/formats/FormatRegistry.h"
#include "cli/CommandHelpers.h"
#include "cli/Options.h"

namespace cli {

namespace {

/// The peaks of the opened file in `width` columns.
int Show(const Arguments& args, TAuFileIn& in, int width) {
  const int rate = in.SampleRate();
  const int64_t total = in.TotalSamples();
  int64_t start = 0, end = total;
  if (args.start) {
    const auto from = ParseFrameArgument(*args.start, rate), to = ParseFrameArgument(*args.end, rate);
    if (!from) return Fail(kUsage, "not a time or a frame count: " + *args.start);
    if (!to) return Fail(kUsage, "not a time or a frame count: " + *args.end);
    start = *from;
    end = std::min(*to, total);
    if (start >= end) return Fail(kUsage, "the start must come before the end and lie within the file");
  }
  std::vector<PeakPair> values;  // column-major, as the columns print
  int channels = in.Channels();
  try {
    // A short range is decoded whatever is asked: that costs little, and
    // its columns are finer than the estimate's granules.
    constexpr int64_t kEstimatedFramesPerColumn = 4096;
    if (PeaksProvider::Estimates(args.files[0]) && !args.exact && end - start > int64_t{width} * kEstimatedFramesPerColumn) {
      // The overview a window shows first: estimated from the frames.
      PeaksProvider provider(args.files[0], channels, total, 0, PeaksProvider::Depth::Overview);
      provider.WaitForOverview();
      if (!provider.Failure().empty()) throw EAuException(provider.Failure());
      values = provider.Columns(start, end, width).values;
    } else {
      const ColumnPeaks peaks = ReadColumnPeaksInParallel(args.files[0], channels, start, end, width, MachineThreads());
      for (int c = 0; c < peaks.Width(); ++c)
        for (int ch = 0; ch < channels; ++ch) values.push_back(peaks.At(c, ch));
    }
  } catch (const std::exception& e) {
    return Fail(kRunFailed, WithFileName(e.what(), args.files[0]));
  }
  auto at = [&](int column, int channel) -> const PeakPair& { return values[static_cast<size_t>(column * channels + channel)]; };
  if (args.json) {
    std::printf("{\"sample_rate\": %d, \"channels\": %d, \"start\": %lld, \"end\": %lld, \"columns\": [", rate,
                channels, static_cast<long long>(start), static_cast<long long>(end));
    for (int c = 0; c < width; ++c) {
      std::printf(c == 0 ? "[" : ", [");
      for (int ch = 0; ch < channels; ++ch)
        std::printf(ch == 0 ? "[%d, %d]" : ", [%d, %d]", at(c, ch).min, at(c, ch).max);
      std::printf("]");
    }
    std::printf("]}\n");
    return kDone;
  }
  // One line a column: its first frame, then min and max of each channel.
  for (int c = 0; c < width; ++c) {
    std::printf("%lld", static_cast<long long>(start + (end - start) * c / width));
    for (int ch = 0; ch < channels; ++ch) std::printf(" %d %d", at(c, ch).min, at(c, ch).max);
    std::printf("\n");
  }
  return kDone;
}

}  // namespace

/// peaks: the waveform's overview, min and max per column and channel.
int Peaks(const Arguments& args) {
  if (args.start.has_value() != args.end.has_value()) return Fail(kUsage, "peaks takes one file, and --start with --end");
  uint32_t columns = 1000;
  std::string error;
  if (!Count(args.width, "not a number of columns: ", 1000000, columns, error) || columns < 1)
    return Fail(kUsage, error.empty() ? "not a number of columns: " + *args.width : error);
  const int width = static_cast<int>(columns);
  return WithSource(args.files[0], [&args, width](TAuFileIn& in) { return Show(args, in, width); });
}

}  // namespace cli
