// The main window's file opening, preview playback and range selection.
//
// The selection lives in the trackbar's thumbs (half-seconds) and in the two
// time boxes, which follow each other both ways. The trackbar's line
// advances one half-second per tick of Timer1 while a preview plays; the
// waveform's cursor follows the frames the device has played.
#include <QAbstractEventDispatcher>
#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <limits>

#include "app/Dialogs.h"
#include "app/FileLength.h"
#include "app/WaveformPeaks.h"
#include "app/jobs/CutJob.h"
#include "controls/WaveformView.h"
#include "app/jobs/Global.h"
#include "app/Main.h"
#include "audio/formats/FormatRegistry.h"
#include "app/Texts.h"
#include "app/Widgets.h"
#include "audio/ACS_smpeg.h"
#include "controls/Tracker2.h"
#include "audio/device/MediaPlayer.h"

namespace {

constexpr int kMsPerPosition = 500;

std::string Text(const QLineEdit* box) { return box->text().toStdString(); }

}  // namespace

void TfrmMain::ConnectPreview() {
  Timer1 = new QTimer(this);
  Timer1->setObjectName("Timer1");
  Timer1->setInterval(500);
  playReadout_ = new QTimer(this);
  playReadout_->setObjectName("tmPlayReadout");
  playReadout_->setInterval(40);
  connect(playReadout_, &QTimer::timeout, this, [this] { UpdatePlayReadout(); });
  playReadout_->start();
  connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });

  MediaPlayer1 = new TMediaPlayer(this);
  MediaPlayer1->setObjectName("MediaPlayer1");
  MediaPlayer1->OnDeviceLost = [this] { MediaPlayer1DeviceLost(); };

  connect(bOpen, &QPushButton::clicked, this, [this] { bOpenClick(); });
  connect(aPlay, &QAction::triggered, this, [this] { aPlayExecute(); });
  connect(aPause, &QAction::triggered, this, [this] { aPauseExecute(); });
  connect(aStop, &QAction::triggered, this, [this] { aStopExecute(); });
  connect(aMarkStart, &QAction::triggered, this, [this] { aMarkStartExecute(); });
  connect(aMarkEnd, &QAction::triggered, this, [this] { aMarkEndExecute(); });
  connect(aPlaySelection, &QAction::triggered, this, [this] { aPlaySelectionExecute(); });
  connect(aPlayPause, &QAction::triggered, this, [this] { aPlayPauseExecute(); });
  connect(aHearStart, &QAction::triggered, this, [this] { HearAround(false); });
  connect(aHearEnd, &QAction::triggered, this, [this] { HearAround(true); });
  // A click in the waveform places the cursor; a running preview goes on from there.
  wvAudio->OnCursorPlaced = [this](int64_t) {
    UpdateCursorReadout();
    if (Timer1->isActive()) {
      SelectionPlay = false;
      StartDevice(false, CursorMs(), -1);
    }
  };

  tbAudio->OnChange = [this](TTrackBar2*) { tbAudioChange(); };
  tbAudio->OnMouseDown = [this](TTrackBar2*, Qt::MouseButton button, Qt::KeyboardModifiers, int, int) {
    tbAudioMouseDown(button);
  };
  tbAudio->OnMouseUp = [this](TTrackBar2*, Qt::MouseButton button, Qt::KeyboardModifiers, int, int) {
    tbAudioMouseUp(button);
  };

  connect(eStart, &QLineEdit::textChanged, this, [this] { eStartChange(); });
  connect(eEnd, &QLineEdit::textChanged, this, [this] { eEndChange(); });
  // Start Cut checks the boxes itself when it is clicked; checking them as the
  // click takes the focus would let that same click cut what was refused.
  WatchTimeBoxExits(this, eStart, eEnd, [this] { return bStartCut; }, refocusing_, [this](QLineEdit* box) {
    if (box == eStart) eStartExit();
    else eEndExit();
  });

  connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
          [this] { UpdateActions(); });
}

// --- Opening ---------------------------------------------------------------

void TfrmMain::bOpenClick() {
  const QString chosen = Dialogs::Current().OpenFileName(this, "Open", SoundFilesFilter());
  if (!chosen.isEmpty()) OpenFile(chosen);
}

void TfrmMain::dragEnterEvent(QDragEnterEvent* event) {
  if (!DroppedSoundFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TfrmMain::dropEvent(QDropEvent* event) {
  const QString file = DroppedSoundFile(event->mimeData());
  if (file.isEmpty()) return;
  event->acceptProposedAction();
  OpenFile(file);
}

void TfrmMain::OpenFile(const QString& chosen) {
  // A preview of the previous file ends here.
  if (Timer1->isActive() || MediaPlayer1->Mode() != mpNotReady) aStopExecute();

  const std::string fileName = chosen.toStdString();
  PlaybackUnavailable = false;
  eOpenFile->setText(chosen);
  ShowWaveform(fileName);  // none for a file our inputs cannot read
  try {
    SelectWhole(FileLengthMs(fileName, *MediaPlayer1) / kMsPerPosition);
  } catch (const std::exception& error) {
    OpenFailed(error, fileName);
  }
  UpdateCursorReadout();
}

void TfrmMain::ShowWaveform(const std::string& fileName) {
  // The old file's peaks stop here, before anything of the new one starts.
  wvAudio->SetSource(nullptr);
  retiredPeaks_->Retire(std::move(peaks_));
  fileFrames_ = 0;
  fileRate_ = 0;
  selStartFrame_ = selEndFrame_ = -1;
  if (fileName.empty()) return;
  peaks_ = WaveformPeaks::Open(fileName);
  if (!peaks_) return;
  fileFrames_ = peaks_->Frames();
  fileRate_ = peaks_->SampleRate();
  wvAudio->SetSource(peaks_.get());
}

void TfrmMain::UpdatePlayReadout() {
  if (!Timer1->isActive() || fileRate_ <= 0) return;
  wvAudio->SetCursorFrame(FrameOfMs(playFromMs_, fileRate_) + MediaPlayer1->FramesPlayed(), true);
  UpdateCursorReadout();
}

void TfrmMain::UpdateCursorReadout() {
  if (eOpenFile->text().isEmpty()) return lPlayPosition->clear();
  lPlayPosition->setText(QString::fromStdString(MsToMillisecondText(CursorMs())));
}

int32_t TfrmMain::CursorMs() const {
  if (fileRate_ <= 0) return tbAudio->LinePosition() * kMsPerPosition;
  return static_cast<int32_t>(std::min<int64_t>(std::llround(wvAudio->CursorFrame() * 1000.0 / fileRate_), INT32_MAX));
}

void TfrmMain::OpenFailed(const std::exception& error, const std::string& fileName) {
  const auto* device = dynamic_cast<const EMCIDeviceError*>(&error);
  if (device && (device->reason() == EMCIDeviceError::Reason::CannotPlay ||
                 device->reason() == EMCIDeviceError::Reason::NoOutputDevice)) {
    // The device cannot play it; the decoder may still read it for cutting.
    Dialogs::Current().Information(this, PlaybackMessage(*device, fileName));
    PlaybackUnavailable = true;
    try {
      const FormatEntry* entry = FormatEntryOfFile(fileName);
      if (!entry) throw Error(ErrorKind::UnreadableFile, "not an " + FormatNames() + " file", fileName);
      const std::unique_ptr<TAuFileIn> decoder = entry->newInput();
      decoder->SetFileName(fileName);
      SelectWhole(decoder->TotalTime() * 2);
    } catch (const std::exception& again) {
      Dialogs::Current().Information(this, QString::fromStdString(again.what()) + "   " + Texts::kOpenFileError);
      eOpenFile->clear();
      ShowWaveform("");
    }
  } else {
    Dialogs::Current().Information(this, QString::fromStdString(error.what()) + "   " + Texts::kOpenFileError);
    eOpenFile->clear();
    ShowWaveform("");
    SelectWhole(0);  // no length for a file that cannot be read
  }
  tbAudio->update();
}

// --- Preview ---------------------------------------------------------------

void TfrmMain::aPlayExecute() {
  SelectionPlay = false;
  if (ResumePaused()) return;
  // From the cursor; from the top when it stands at the end.
  const bool atEnd = fileRate_ > 0 ? wvAudio->CursorFrame() >= fileFrames_ : CursorMs() >= WholeMs();
  const int32_t from = atEnd ? 0 : CursorMs();
  if (from == 0) StartDevice(true, 0, 0);
  else StartDevice(false, from, -1);
}

void TfrmMain::aPlaySelectionExecute() {
  SelectionPlay = true;
  playToMs_ = selEndMs_;
  if (!ResumePaused()) StartDevice(false, selStartMs_, selEndMs_);
}

void TfrmMain::aPlayPauseExecute() {
  if (eOpenFile->text().isEmpty() || PlaybackUnavailable) return;
  if (Timer1->isActive()) aPauseExecute();
  else aPlayExecute();
}

void TfrmMain::HearAround(bool atEnd) {
  if (eOpenFile->text().isEmpty() || PlaybackUnavailable) return;
  constexpr int32_t kAround = 1000;
  const int32_t at = atEnd ? selEndMs_ : selStartMs_;
  const int32_t from = std::max(at - kAround, 0);
  SelectionPlay = true;
  playToMs_ = std::min(at + kAround, WholeMs());
  const int64_t cursor = wvAudio->CursorFrame();
  StartDevice(false, from, at + kAround);
  hearReturnFrame_ = cursor;
}

bool TfrmMain::ResumePaused() {
  if (MediaPlayer1->Mode() != mpPaused) return false;
  // A cursor placed elsewhere while paused: play from there instead.
  if (fileRate_ > 0 && wvAudio->CursorFrame() != pausedAt_) return false;
  Timer1->start();
  MediaPlayer1->Resume();
  return true;
}

void TfrmMain::StartDevice(bool whole, int32_t fromMs, int32_t toMs) {
  hearReturnFrame_ = -1;
  try {
    MediaPlayer1->Close();
    MediaPlayer1->SetFileName(Text(eOpenFile));
    Timer1->start();
    MediaPlayer1->Open();
    playFromMs_ = whole ? 0 : fromMs;
    if (!whole) {
      MediaPlayer1->SetStartPos(fromMs);
      MediaPlayer1->SetEndPos(toMs);  // -1: to the end of the file
      tbAudio->SetLinePosition(fromMs / kMsPerPosition);
    }
    MediaPlayer1->Play();
  } catch (const std::exception& error) {
    PreviewFailed();
    Dialogs::Current().Information(this, PlaybackMessage(error, Text(eOpenFile)));
  }
}

QString TfrmMain::PlaybackMessage(const std::exception& error, const std::string& fileName) {
  const auto* device = dynamic_cast<const EMCIDeviceError*>(&error);
  if (device && device->reason() == EMCIDeviceError::Reason::NoOutputDevice) return Texts::kNoAudioOutput;
  if (device && device->reason() == EMCIDeviceError::Reason::CannotPlay) return Texts::kPlaybackUnavailable;
  // The file may have gone or changed since it was opened.
  std::string message = error.what();
  if (message.find(fileName) == std::string::npos) message += ": " + fileName;
  return QString::fromStdString(message);
}

void TfrmMain::MediaPlayer1DeviceLost() {
  PreviewFailed();
  Dialogs::Current().Information(this, Texts::kNoAudioOutput);
}

void TfrmMain::PreviewFailed() {
  Timer1->stop();
  MediaPlayer1->Close();
  tbAudio->SetLinePosition(0);
  PlaybackUnavailable = true;
}

void TfrmMain::aPauseExecute() {
  try {
    MediaPlayer1->Pause();
  } catch (const EMCIDeviceError&) {
    // Nothing was playing.
  }
  Timer1->stop();
  pausedAt_ = wvAudio->CursorFrame();
}

void TfrmMain::aStopExecute() {
  // The cursor goes back to where the preview started; after hearing a
  // handle, to where it stood before.
  if (Timer1->isActive() || MediaPlayer1->Mode() == mpPaused) {
    if (hearReturnFrame_ >= 0) wvAudio->SetCursorFrame(hearReturnFrame_);
    else if (fileRate_ > 0) wvAudio->SetCursorFrame(FrameOfMs(playFromMs_, fileRate_));
    UpdateCursorReadout();
  }
  hearReturnFrame_ = -1;
  Timer1->stop();
  tbAudio->SetLinePosition(0);
  if (MediaPlayer1->Mode() != mpNotReady) MediaPlayer1->Stop();
  MediaPlayer1->Close();
}

void TfrmMain::Timer1Timer() {
  if (SelectionPlay && tbAudio->LinePosition() * kMsPerPosition >= playToMs_) {
    aStopExecute();
    return;
  }
  tbAudio->SetLinePosition(tbAudio->LinePosition() + 1);
  if (tbAudio->LinePosition() >= tbAudio->Max() && aStop->isEnabled()) aStopExecute();
}

// --- Enabling rules --------------------------------------------------------

void TfrmMain::UpdateActions() {
  // Stop first: a button losing the focus as it is disabled hands it to Stop.
  aStopUpdate();
  aPauseUpdate();
  aPlayUpdate();
}

void TfrmMain::aPlayUpdate() {
  const bool opened = !eOpenFile->text().isEmpty();
  const bool canPlay = opened && !Timer1->isActive() && !PlaybackUnavailable;
  aPlay->setEnabled(canPlay);
  aPlaySelection->setEnabled(canPlay);
  eStart->setEnabled(opened);
  eEnd->setEnabled(opened);
  tbAudio->setEnabled(opened);
}

void TfrmMain::aPauseUpdate() { aPause->setEnabled(Timer1->isActive()); }

void TfrmMain::aStopUpdate() {
  const bool previewing = Timer1->isActive() || tbAudio->LinePosition() > 0;
  aStop->setEnabled(previewing);
  // The handles are marked at the cursor, playing or not.
  const bool opened = !eOpenFile->text().isEmpty();
  aMarkStart->setEnabled(opened);
  aMarkEnd->setEnabled(opened);
  const bool canHear = opened && !PlaybackUnavailable;
  aPlayPause->setEnabled(canHear);
  aHearStart->setEnabled(canHear);
  aHearEnd->setEnabled(canHear);
}

// --- Dragging during a preview ----------------------------------------------

void TfrmMain::tbAudioMouseDown(Qt::MouseButton button) {
  if (button == Qt::LeftButton) DownPositionL = tbAudio->PositionL();
}

void TfrmMain::tbAudioMouseUp(Qt::MouseButton button) {
  if (button != Qt::LeftButton || tbAudio->PositionL() == DownPositionL || !Timer1->isActive()) return;
  // The start thumb moved during a preview: play on from the new start.
  try {
    MediaPlayer1->SetStartPos(selStartMs_);
    MediaPlayer1->SetEndPos(selEndMs_);
    playFromMs_ = selStartMs_;
    tbAudio->SetLinePosition(selStartMs_ / kMsPerPosition);
    MediaPlayer1->Play();
  } catch (const std::exception& error) {
    PreviewFailed();
    Dialogs::Current().Information(this, PlaybackMessage(error, Text(eOpenFile)));
  }
}
