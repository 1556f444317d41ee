#include "app/jobs/JoinJob.h"

#include <algorithm>
#include <cctype>

#include "app/jobs/CutJob.h"
#include "audio/codecs/CodecIn.h"
#include "audio/formats/FormatRegistry.h"
#include "audio/ACS_LAME.h"
#include "audio/ACS_Wave.h"
#include "audio/ACS_WinMedia.h"
#include "audio/ACS_smpeg.h"
#include "audio/tags/TagText.h"

namespace {

std::string UpperExtension(const std::string& name) {
  const size_t slash = name.find_last_of('/');
  const size_t dot = name.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string ext = name.substr(dot);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::toupper(c); });
  return ext;
}

}  // namespace

std::string CheckJoinFiles(const std::string& file1, const std::string& file2) {
  if (file1.empty() || file2.empty()) return kSelectInputFiles;
  // One format, by whichever of its extensions (.ogg and .oga); unknown ones by their extension.
  const FormatEntry* format1 = FormatEntryOfFile(file1);
  if (format1 ? format1 != FormatEntryOfFile(file2) : UpperExtension(file1) != UpperExtension(file2))
    return kSelectSameFormat;
  return {};
}

void PrepareJoin(const FormatEntry& format, TAudioMixerMode mode, TAudioMixer& mixer, TAuFileIn& input1, TAuFileIn& input2,
                 TAuFileOut& output, const std::string& outputName) {
  CheckSource(format, input1);
  CheckSource(format, input2);
  // One extension, two codecs (ALAC and AAC in .m4a): the result would be
  // written in the first one's, a lesser codec for the other perhaps.
  auto* codec1 = dynamic_cast<TCodecIn*>(&input1);
  auto* codec2 = dynamic_cast<TCodecIn*>(&input2);
  if (codec1 && codec2 && codec1->Codec() != codec2->Codec())
    throw JobRefused(ErrorKind::Usage,
                     "the two files hold different codecs (" + codec1->Codec() + " and " + codec2->Codec() +
                         "): only files of one codec can be joined or mixed",
                     input2.FileName());
  mixer.SetMode(mode);
  mixer.SetVolume1(65535);
  mixer.SetVolume2(65535);
  mixer.SetInput1(&input1);
  mixer.SetInput2(&input2);
  output.SetFileName(outputName);
  format.copySettings(input1, output, SettingsUse::Join);
  output.SetInput(&mixer);
}

std::unique_ptr<Job> StartJoin(const JoinRequest& request, JobEvents events) {
  if (const std::string refusal = CheckJoinFiles(request.file1, request.file2); !refusal.empty())
    throw JobRefused(ErrorKind::Usage, refusal);
  const FormatEntry* entry = FormatEntryOfFile(request.file1);
  if (!entry)
    throw JobRefused(ErrorKind::Usage, "only " + FormatNames() + " files can be joined or mixed", request.file1);
  CheckTargetFormat(*entry, request.target, "the two files are");
  CheckTarget(request.target, {request.file1, request.file2}, request.replaceTarget);
  auto job = std::make_unique<OutputJob>(std::move(events));
  TAuFileIn& input1 = job->Keep(entry->newInput());
  TAuFileIn& input2 = job->Keep(entry->newInput());
  TAudioMixer& mixer = job->Keep(std::unique_ptr<TAudioMixer>(std::make_unique<Sealed<TAudioMixer>>()));
  TAuFileOut& output = job->SetOutput(entry->newOutput());
  InputRate(*entry, input1, request.file1);
  InputRate(*entry, input2, request.file2);
  PrepareJoin(*entry, request.mode, mixer, input1, input2, output, job->OpenTarget(request.target));
  if (request.crossfadeMs > 0 && request.mode == amConcatenate) {
    // Each side faded over the crossfade, then added where they overlap.
    const int64_t frames1 = std::min(FrameOfMs(request.crossfadeMs, input1.SampleRate()), input1.TotalSamples());
    const int64_t frames2 = std::min(FrameOfMs(request.crossfadeMs, input2.SampleRate()), input2.TotalSamples());
    TAuLevels& end1 = job->Keep(std::make_unique<Sealed<TAuLevels>>());
    TAuLevels& start2 = job->Keep(std::make_unique<Sealed<TAuLevels>>());
    end1.SetInput(&input1);
    end1.SetFades(0, frames1, request.crossfadeCurve);
    start2.SetInput(&input2);
    start2.SetFades(frames2, 0, request.crossfadeCurve);
    mixer.SetInput1(&end1);
    mixer.SetInput2(&start2);
    mixer.SetOverlap(frames1);
  }
  job->Run();
  return job;
}
