// The main window's selection: the accepted start and end times.
//
// The times the boxes show are the selection, to the millisecond, and they
// are what Start Cut saves; the waveform places them on any sample, which
// the boxes show to the millisecond nearest it and Start Cut saves exactly. The thumbs follow them at their half-second
// steps; a thumb the user moves sets its time. A value typed into a box is
// taken as soon as it is complete and in range; leaving a box with anything
// else is refused with a message, and the box gets its last accepted time
// back, so a box never shows a time the selection does not hold.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

#include "app/Dialogs.h"
#include "app/Main.h"
#include "app/Texts.h"
#include "app/Widgets.h"
#include "app/jobs/Global.h"
#include "app/jobs/CutJob.h"
#include "controls/Tracker2.h"
#include "controls/WaveformView.h"

namespace {

constexpr int32_t kMsPerPosition = 500;

std::string Text(const QLineEdit* box) { return box->text().toStdString(); }

QString TimeText(int32_t ms) { return QString::fromStdString(MsToExactTimeText(ms)); }

}  // namespace

int32_t TfrmMain::WholeMs() const { return tbAudio->Max() * kMsPerPosition; }

void TfrmMain::SelectWhole(int max) {
  // The start thumb first: lowering Max under it would push it below 0.
  settingThumbs_ = true;
  tbAudio->SetPositionL(0);
  tbAudio->SetMax(max);
  settingThumbs_ = false;
  SetSelection(0, WholeMs());
}

void TfrmMain::SetSelection(int32_t startMs, int32_t endMs, const QLineEdit* typing) {
  if (fileRate_ > 0) {
    // An end whose time did not change keeps its exact frame (a waveform
    // may have placed it between two milliseconds).
    if (startMs != selStartMs_ || selStartFrame_ < 0)
      selStartFrame_ = std::min(FrameOfMs(startMs, fileRate_), fileFrames_);
    if (endMs != selEndMs_ || selEndFrame_ < 0)
      selEndFrame_ = endMs == WholeMs() ? fileFrames_ : std::min(FrameOfMs(endMs, fileRate_), fileFrames_);
    wvAudio->SetSelection(selStartFrame_, selEndFrame_);
  }
  selStartMs_ = startMs;
  selEndMs_ = endMs;
  const int l = startMs / kMsPerPosition;
  const int u = endMs >= WholeMs() ? tbAudio->Max() : endMs / kMsPerPosition;
  // Set in the order that keeps the thumbs apart on the way.
  settingThumbs_ = true;
  if (l < tbAudio->PositionU()) {
    tbAudio->SetPositionL(l);
    tbAudio->SetPositionU(u);
  } else {
    tbAudio->SetPositionU(u);
    tbAudio->SetPositionL(l);
  }
  settingThumbs_ = false;
  thumbL_ = tbAudio->PositionL();
  thumbU_ = tbAudio->PositionU();
  // The box being typed in keeps the user's characters.
  if (typing != eStart) eStart->setText(TimeText(startMs));
  if (typing != eEnd) eEnd->setText(TimeText(endMs));
  lFileTime->setText(TimeText(endMs - startMs));
}

void TfrmMain::SetSelectionFrames(int64_t start, int64_t end) {
  if (fileRate_ <= 0) return;
  // The end of the file is WholeMs() (the length in whole seconds), as
  // for the thumbs; any other frame shows as its own time, also in the
  // file's last fraction of a second.
  auto ms = [this](int64_t frame) {
    if (frame >= fileFrames_) return WholeMs();
    return static_cast<int32_t>(std::min<int64_t>(std::llround(frame * 1000.0 / fileRate_), INT32_MAX));
  };
  SetSelection(ms(start), ms(end));
  selStartFrame_ = start;
  selEndFrame_ = end;
  wvAudio->SetSelection(start, end);
}

FrameRange TfrmMain::SelectedFrames(int sampleRate) const {
  if (sampleRate != fileRate_ || fileFrames_ <= 0) return RangeOfSelection(selStartMs_, selEndMs_, WholeMs(), sampleRate);
  FrameRange range;
  range.startSample = selStartFrame_;
  range.endSample = selEndFrame_ >= fileFrames_ ? -1 : selEndFrame_ - 1;
  return range;
}

void TfrmMain::tbAudioChange() {
  if (settingThumbs_) return;
  // A thumb the user (or Mark Start / Mark End) moved sets its time.
  int32_t startMs = selStartMs_, endMs = selEndMs_;
  if (tbAudio->PositionL() != thumbL_) startMs = tbAudio->PositionL() * kMsPerPosition;
  if (tbAudio->PositionU() != thumbU_) endMs = tbAudio->PositionU() * kMsPerPosition;
  SetSelection(startMs, endMs);
}

void TfrmMain::eStartChange() {
  const std::string text = Text(eStart);
  if (settingThumbs_ || !IsTimeText(text) || !IsFullTimeText(text)) return;
  const int32_t start = TimeTextToMs(text);
  if (start != selStartMs_ && start <= selEndMs_) SetSelection(start, selEndMs_, eStart);
}

void TfrmMain::eEndChange() {
  const std::string text = Text(eEnd);
  if (settingThumbs_ || !IsTimeText(text) || !IsFullTimeText(text)) return;
  const int32_t end = TimeTextToMs(text);
  if (end != selEndMs_ && end >= selStartMs_ && end <= WholeMs()) SetSelection(selStartMs_, end, eEnd);
}

bool TfrmMain::RefuseTime(QLineEdit* box, const char* message) {
  Dialogs::Current().Information(this, message);
  box->setText(TimeText(box == eStart ? selStartMs_ : selEndMs_));
  tbAudio->update();
  refocusing_ = true;
  box->setFocus();
  refocusing_ = false;
  return false;
}

bool TfrmMain::eStartExit() {
  const std::string text = Text(eStart);
  if (!IsTimeText(text)) return RefuseTime(eStart, Texts::kTimeFormat);
  const int32_t start = TimeTextToMs(text);
  if (start > selEndMs_) return RefuseTime(eStart, Texts::kStartAfterEnd);
  // A time typed in full stays as it was typed (00:10:05.000); a short form is written out.
  SetSelection(start, selEndMs_, IsFullTimeText(text) ? eStart : nullptr);
  return true;
}

bool TfrmMain::eEndExit() {
  const std::string text = Text(eEnd);
  if (!IsTimeText(text)) return RefuseTime(eEnd, Texts::kTimeFormat);
  const int32_t end = TimeTextToMs(text);
  if (int64_t{end} > int64_t{WholeMs()}) return RefuseTime(eEnd, Texts::kEndAfterTotal);
  if (end < selStartMs_) return RefuseTime(eEnd, Texts::kStartAfterEnd);
  SetSelection(selStartMs_, end, IsFullTimeText(text) ? eEnd : nullptr);
  return true;
}

bool TfrmMain::CommitTimeBoxes() {
  if (eStart->text() != TimeText(selStartMs_) && !eStartExit()) return false;
  if (eEnd->text() != TimeText(selEndMs_) && !eEndExit()) return false;
  return true;
}

void TfrmMain::aMarkStartExecute() {
  if (fileRate_ > 0) return SetSelectionFrames(std::min(wvAudio->CursorFrame(), selEndFrame_), selEndFrame_);
  SetSelection(std::min(CursorMs(), selEndMs_), selEndMs_);
}

void TfrmMain::aMarkEndExecute() {
  if (fileRate_ > 0) return SetSelectionFrames(selStartFrame_, std::clamp(wvAudio->CursorFrame(), selStartFrame_, fileFrames_));
  SetSelection(selStartMs_, std::clamp(CursorMs(), selStartMs_, WholeMs()));
}
