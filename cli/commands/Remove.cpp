// clipwright-cli remove: ranges taken out of a file.
#include "cli/Commands.h"

#include <filesystem>

#include "app/jobs/SegmentJob.h"
#include "cli/CommandHelpers.h"

namespace cli {

/// remove: the Segment Cut window's job, with the ranges as its list rows.
int Remove(const Arguments& args) {
  if (args.ranges.empty()) return Fail(kUsage, "remove needs at least one --range START-END");
  RemoveRequest request;
  request.source = args.files[0];
  request.target = args.files[1];
  for (const std::string& range : args.ranges) {
    const size_t dash = range.find('-');
    const auto start = dash == std::string::npos ? std::nullopt : ParseTimeArgument(range.substr(0, dash));
    const auto end = dash == std::string::npos ? std::nullopt : ParseTimeArgument(range.substr(dash + 1));
    if (!start || !end) return Fail(kUsage, "not a range START-END of two times: " + range);
    request.rows.push_back({*start, *end});
  }
  request.lossless = args.lossless;
  request.replaceTarget = args.force;
  request.workFolder = std::filesystem::temp_directory_path().string() + "/";
  return RunJob(
      [&request](JobEvents events) {
        request.totalMs = SegmentTotalMs(request.source);
        return StartRemove(request, std::move(events));
      },
      args.quiet);
}

}  // namespace cli
