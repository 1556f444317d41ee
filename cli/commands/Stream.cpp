// clipwright-cli stream: a file as a live WMA stream.
#include "cli/Commands.h"

#include "audio/classes/SixteenBitInput.h"
#include "app/jobs/TagCopy.h"
#include "cli/RunOutput.h"
#include "cli/CommandHelpers.h"

namespace cli {

/// stream: the source as a live WMA stream over HTTP, at its own pace.
int Stream(const Arguments& args) {
  if (args.files.size() != 1 || args.start || args.end || args.vbr || args.mode || args.lossless || args.force)
    return Fail(kUsage, "stream takes one source");
  int32_t port = 0, maxClients = 0;
  if (args.port && (!ParseInt32(*args.port, port) || port < 0 || port > 65535))
    return Fail(kUsage, "not a port number: " + *args.port);
  if (args.maxClients && (!ParseInt32(*args.maxClients, maxClients) || maxClients < 0))
    return Fail(kUsage, "not a number of clients: " + *args.maxClients);
  const auto bitrate = WmaBitrate(args);
  if (!bitrate) return Fail(kUsage, "not a bit rate in kbps: " + *args.bitrate);
  Source source;
  OpenSource(args.files[0], source);
  if (source.refusal != kDone) return Fail(source.refusal, source.message);
  TAuFileIn& in = *source.input;
  if (in.Channels() > 2)
    return Fail(kBadSource, "WMA streams hold one or two channels, the source has " + std::to_string(in.Channels()) +
                                ": " + args.files[0]);
  Sealed<TSixteenBitInput> sixteen(in);
  TAuInput& input = in.BitsPerSample() == 16 ? static_cast<TAuInput&>(in) : sixteen;
  Sealed<TWMStreamedOut> output;
  output.SetPort(static_cast<uint32_t>(port));
  output.SetMaxClients(static_cast<uint32_t>(maxClients));
  output.SetDesiredBitrate(*bitrate);
  if (TWMIn* media = source.Media()) CopyId3v2Fields(media->Id3v2Tags(), output.Id3v2Tags());
  output.SetInput(&input);
  // The address, once the server listens; then the run goes on to the end.
  bool announced = false;
  output.OnProgress = [&output, &announced](TComponent*) {
    if (announced || output.Port() == 0) return;
    announced = true;
    std::printf("streaming at http://127.0.0.1:%u/\n", output.Port());
    std::fflush(stdout);
  };
  const std::string failure = RunToEnd(output, false);
  output.SetInput(nullptr);
  if (!failure.empty()) return Fail(kRunFailed, failure + ": " + args.files[0]);
  return kDone;
}

}  // namespace cli
