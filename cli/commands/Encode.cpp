// clipwright-cli encode: a file to MP3 or WMA.
#include "cli/Commands.h"

#include "audio/classes/SixteenBitInput.h"
#include "app/jobs/TagCopy.h"
#include "cli/CommandHelpers.h"

namespace cli {

int Encode(const Arguments& args) {
  if (args.files.size() != 2 || args.start || args.end || args.lossless)
    return Fail(kUsage, "encode takes a source and a target");
  const AudioFormat target = FormatOfFile(args.files[1]);
  if (target != AudioFormat::Mp3 && target != AudioFormat::Wma)
    return Fail(kUsage, "the target of encode is a .mp3 or .wma file");
  if (target == AudioFormat::Wma && (args.vbr || args.mode))
    return Fail(kUsage, "WMA files are written at a constant bit rate in the source's channels: --vbr and --mode are for MP3");
  Source source;
  OpenSource(args.files[0], source);
  if (source.refusal != kDone) return Fail(source.refusal, source.message);
  if (const int refused = CheckTarget(args.files[0], args.files[1], args.force)) return refused;
  TAuFileIn& in = *source.input;
  if (in.Channels() > 2) return Fail(kBadSource, std::string(FormatName(target)) + " files hold one or two channels, the source has " +
                                                     std::to_string(in.Channels()) + ": " + args.files[0]);
  // The encoders take 16-bit samples: anything else is converted here.
  Sealed<TSixteenBitInput> sixteen(in);
  TAuInput& input = in.BitsPerSample() == 16 ? static_cast<TAuInput&>(in) : sixteen;
  const TWMIn* media = source.Media();
  if (target == AudioFormat::Wma) {
    Sealed<TWMAOut> output;
    const auto bitrate = WmaBitrate(args);
    if (!bitrate) return Fail(kUsage, "not a bit rate in kbps: " + *args.bitrate);
    output.SetDesiredBitrate(*bitrate);
    if (media) CopyId3v2Fields(source.Media()->Id3v2Tags(), output.Id3v2Tags());
    return RunInto(output, input, args.files[0], args.files[1], args.quiet);
  }
  Sealed<TMP3Out> output;
  std::string error;
  if (!Mp3Settings(args, in.Channels(), output, error)) return Fail(kUsage, error);
  if (media) {
    CopyId3v2Fields(source.Media()->Id3v2Tags(), output.Id3v2Tags());
    FillId3v1Fields(source.Media()->Id3v2Tags(), output.Id3v1Tags());
  }
  return RunInto(output, input, args.files[0], args.files[1], args.quiet);
}

}  // namespace cli
