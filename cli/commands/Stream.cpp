// clipwright-cli stream: a file as a live WMA stream.
#include "cli/Commands.h"

#include <cstdio>

#include "app/jobs/ConvertJob.h"
#include "cli/CommandHelpers.h"
#include "cli/Options.h"

namespace cli {

/// stream: the source as a live WMA stream over HTTP, at its own pace.
int Stream(const Arguments& args) {
  StreamRequest request;
  request.source = args.files[0];
  std::string error;
  if (!Count(args.port, "not a port number: ", 65535, request.port, error) ||
      !Count(args.maxClients, "not a number of clients: ", UINT32_MAX, request.maxClients, error) ||
      !BitrateOption(args, request.bitrate, error))
    return Fail(kUsage, error);
  request.listening = [](uint32_t port) {
    std::printf("streaming at http://127.0.0.1:%u/\n", port);
    std::fflush(stdout);
  };
  // A stream has no end to show progress towards.
  Arguments quiet = args;
  quiet.quiet = true;
  return RunJob([&request](JobEvents events) { return StartStream(request, std::move(events)); }, quiet);
}

}  // namespace cli
