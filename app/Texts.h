#pragma once

#include "Version.h"
#include "app/jobs/SegmentPlan.h"

// Every text the windows show, kept together.
namespace Texts {

inline constexpr char kProgramTitle[] = "Vorlun Clipwright";
inline constexpr char kWindowClassName[] = "Vorlun Clipwright Made by Vorlun Software";
inline constexpr char kSubtitle[] = "Cut MP3, WAV, WMA files into pieces";
inline constexpr char kCheckForUpdates[] = "Check for updates...";
inline constexpr char kMakerAddress[] = "www.example.org";

inline constexpr char kAboutVersion[] = "Version: " CLIPWRIGHT_VERSION "   Build " CLIPWRIGHT_BUILD;
inline constexpr char kAboutDonate1[] = "If you like it, please feel free to donate, any donations";
inline constexpr char kAboutDonate2[] = "large or small are greatly appreciated.";

inline constexpr char kSegmoCaption[] = "Segment Cut";
inline constexpr char kJoinerCaption[] = "Joiner & Mixer";

inline constexpr char kInitialTime[] = "00:00:00.0";

inline constexpr char kTimeFormat[] = "Please make sure the time format is 00:00:00.0";
// The range checks' texts are the jobs' own (the tool says them too).
inline constexpr const char* kStartAfterEnd = ::kStartAfterEnd;
inline constexpr const char* kEndAfterTotal = ::kEndAfterTotal;
inline constexpr const char* kSameStartEnd = ::kSameStartEnd;
inline constexpr const char* kListOutOfOrder = ::kListOutOfOrder;
inline constexpr char kPlaybackUnavailable[] =
    "Failed to play the file. You can try cutting the MP3 file, but playback is unavailable. The file may be faulty "
    "and cutting might also fail.";
inline constexpr char kNoAudioOutput[] =
    "No audio output device is available, so the file cannot be previewed. Cutting still works.";
inline constexpr char kOpenFirst[] = "Please open a sound file fristly.";
/// Followed by the file's name.
inline constexpr char kFileGone[] = "The file no longer exists: ";
inline constexpr char kEmptySelection[] =
    "The selection is empty: the start time is the same as the end time. Nothing was saved.";
inline constexpr char kSaveCutTitle[] = "Save the cut file";
/// Follows the target's name.
inline constexpr char kAskOverwrite[] = " has existed,overite it?";
inline constexpr char kCutting[] = " - Cutting ... ";
inline constexpr char kSaveOverSource[] =
    "The cut cannot be saved over the file it is cut from. Please choose another name.";
inline constexpr char kProcessing[] = " - Processing ... ";
inline constexpr char kEnterTimes[] = "Please enter the time to be cut";
inline constexpr char kSaveOverInput[] =
    "The result cannot be saved over one of the files it is made from. Please choose another name.";
/// Follows the failure's own message and three blanks.
inline constexpr char kOpenFileError[] = "Open file error. Please check whether the file is protected.";

/// The keys of the main window, as "More" > "Keys" lists them.
inline constexpr char kKeys[] =
    "Space: play or pause from the cursor\n"
    "Click in the waveform: place the cursor\n"
    "Drag: select; drag a handle: move it; Shift+click: move the nearer handle\n"
    "I / O: mark the start / end at the cursor\n"
    "[ / ]: hear two seconds around the start / end\n"
    "Wheel, + / -: zoom; 0: the whole file; double click: zoom to the selection\n"
    "Left / Right: move the last handle by a pixel (with Shift: by a sample)";

}  // namespace Texts
