// The main window's Start Cut: saves the selected range as a new file of the
// source's format, through the cut job the command-line tool runs too.
#include <QCheckBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>

#include "app/Dialogs.h"
#include "app/Main.h"
#include "app/Texts.h"
#include "app/jobs/CutJob.h"
#include "app/jobs/TargetFile.h"
#include "audio/ACS_LAME.h"
#include "audio/ACS_Wave.h"
#include "audio/ACS_WinMedia.h"
#include "audio/ACS_smpeg.h"
#include "audio/mp3cut/MP3LosslessOut.h"
#include "controls/Tracker2.h"

namespace {

namespace fs = std::filesystem;

}  // namespace

void TfrmMain::ConnectCut() {
  MP3In1 = NewMp3In();
  WaveIn1 = NewWaveIn();
  WMIn1 = NewWmIn();
  MP3Out1 = NewMp3Out();
  WaveOut1 = NewWaveOut();
  WMAOut1 = NewWmaOut();
  MP3Copy1 = NewMp3LosslessOut();
  MP3Out1->SetInput(MP3In1.get());
  WaveOut1->SetInput(WaveIn1.get());
  WMAOut1->SetInput(WMIn1.get());
  MP3Out1->OnProgress = [this](TComponent*) { MP3Out1Progress(); };
  WMAOut1->OnProgress = [this](TComponent*) { WMAOut1Progress(); };
  WaveOut1->OnProgress = [this](TComponent*) { WaveOut1Progress(); };
  MP3Copy1->OnProgress = [this](TComponent*) { MP3Copy1Progress(); };
  for (TAuOutput* output : {static_cast<TAuOutput*>(MP3Out1.get()), static_cast<TAuOutput*>(WaveOut1.get()),
                            static_cast<TAuOutput*>(WMAOut1.get()), static_cast<TAuOutput*>(MP3Copy1.get())}) {
    output->OnDone = [this, output](TComponent*) { MP3Out1Done(*output); };
    output->OnThreadException = [this, output](TComponent*) { cutFailure_ = output->ExceptionMessage(); };
  }
  connect(bStartCut, &QPushButton::clicked, this, [this] { bStartCutClick(); });
  // Frames can be copied from MP3 files only. For other files the box shows
  // unticked; the user's choice comes back with the next MP3 file.
  connect(cbKeepQuality, &QCheckBox::toggled, this, [this](bool checked) {
    if (cbKeepQuality->isEnabled()) keepQualityChoice_ = checked;
  });
  connect(eOpenFile, &QLineEdit::textChanged, this, [this](const QString& file) {
    const bool mp3 = FormatOfFile(file.toStdString()) == AudioFormat::Mp3;
    cbKeepQuality->setEnabled(mp3);
    cbKeepQuality->setChecked(mp3 && keepQualityChoice_);
  });
}

void TfrmMain::bStartCutClick() {
  const std::string source = eOpenFile->text().toStdString();
  std::error_code error;
  if (source.empty() || !fs::exists(source, error)) {
    Dialogs::Current().Information(this, source.empty() ? QString(Texts::kOpenFirst)
                                                        : Texts::kFileGone + eOpenFile->text());
    tbAudio->update();
    return;
  }
  // What is saved is what the boxes show: a time still being typed is taken
  // (or refused) first.
  if (!CommitTimeBoxes()) return;
  if (selStartMs_ == selEndMs_ || (fileRate_ > 0 && selStartFrame_ == selEndFrame_)) {
    Dialogs::Current().Information(this, Texts::kEmptySelection);
    return;
  }
  const QFileInfo info(QString::fromStdString(source));
  const QString ext = info.suffix().isEmpty() ? QString() : "." + info.suffix();  // its letter case kept
  const QString chosen = Dialogs::Current().SaveFileName(this, Texts::kSaveCutTitle, "Sound Files|*" + ext,
                                                         ext.mid(1, 3), "cut_" + info.fileName(), info.absolutePath());
  if (chosen.isEmpty()) return;
  const std::string target = chosen.toStdString();
  if (IsSameFile(source, target)) {
    Dialogs::Current().Information(this, Texts::kSaveOverSource);
    return;
  }
  if (fs::exists(target, error) && !Dialogs::Current().AskYesNo(this, chosen + Texts::kAskOverwrite)) {
    tbAudio->update();
    return;
  }
  bStartCut->setEnabled(false);
  if (!StartCut(source, target)) bStartCut->setEnabled(true);
}

bool TfrmMain::StartCut(const std::string& source, const std::string& target) {
  const AudioFormat format = FormatOfFile(source);
  TAuFileIn* input = nullptr;
  TAuFileOut* output = nullptr;
  switch (format) {
    case AudioFormat::Mp3: input = MP3In1.get(), output = MP3Out1.get(); break;
    case AudioFormat::Wav: input = WaveIn1.get(), output = WaveOut1.get(); break;
    case AudioFormat::Wma: input = WMIn1.get(), output = WMAOut1.get(); break;
    default:
      Dialogs::Current().Information(this, "Only MP3, WAV and WMA files can be cut: " + QString::fromStdString(source));
      return false;
  }
  const bool lossless = format == AudioFormat::Mp3 && cbKeepQuality->isEnabled() && cbKeepQuality->isChecked();
  if (lossless) output = MP3Copy1.get();
  try {
    const int rate = InputRate(format, *input, source);
    const FrameRange range = SelectedFrames(rate);
    cutTarget_ = std::make_unique<TargetFile>(target);
    if (lossless) PrepareLosslessCut(*input, *output, source, range, cutTarget_->TemporaryName());
    else PrepareCut(format, *input, *output, source, range, cutTarget_->TemporaryName());
    cutFailure_.clear();
    output->Run();
    return true;
  } catch (const std::exception& e) {
    cutTarget_.reset();
    input->Reset();
    Dialogs::Current().Information(this, QString::fromStdString(e.what()));
    return false;
  }
}

void TfrmMain::ShowCutProgress(int percent) {
  setWindowTitle(QString(Texts::kProgramTitle) + Texts::kCutting + QString::number(percent) + "%");
}

void TfrmMain::MP3Out1Progress() { ShowCutProgress(MP3Out1->Progress()); }
void TfrmMain::MP3Copy1Progress() { ShowCutProgress(MP3Copy1->Progress()); }
void TfrmMain::WMAOut1Progress() { ShowCutProgress(WMAOut1->Progress()); }
void TfrmMain::WaveOut1Progress() { ShowCutProgress(WaveOut1->Progress()); }

void TfrmMain::MP3Out1Done(const TAuOutput& output) {
  setWindowTitle(Texts::kProgramTitle);
  bStartCut->setEnabled(true);
  const std::string failure = FinishTarget(std::move(cutTarget_), output, std::move(cutFailure_));
  cutFailure_.clear();
  // A failed run leaves the old target as it was.
  if (!failure.empty()) Dialogs::Current().Information(this, QString::fromStdString(failure));
}
