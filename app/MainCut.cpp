// The main window's Start Cut: saves the selected range as a new file of the
// source's format, through the cut job the command-line tool runs too.
#include <QCheckBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "audio/formats/FormatRegistry.h"
#include <filesystem>

#include "app/Dialogs.h"
#include "app/Main.h"
#include "app/StatusLine.h"
#include "app/Texts.h"
#include "app/jobs/CutJob.h"
#include "app/jobs/TargetFile.h"
#include "controls/Tracker2.h"

namespace {

namespace fs = std::filesystem;

/// A cut of the file can copy its coded frames.
bool CopiesFrames(const std::string& file) {
  const FormatEntry* entry = FormatEntryOfFile(file);
  return entry && entry->newLosslessOutput;
}

}  // namespace

void TfrmMain::ConnectCut() {
  connect(bStartCut, &QPushButton::clicked, this, [this] { bStartCutClick(); });
  // Frames can be copied from the formats with a lossless cut output (MP3, Opus).
  // For other files the box shows unticked; the user's choice comes back
  // with the next file whose frames can be copied.
  connect(cbKeepQuality, &QCheckBox::toggled, this, [this](bool checked) {
    if (cbKeepQuality->isEnabled()) keepQualityChoice_ = checked;
  });
  connect(eOpenFile, &QLineEdit::textChanged, this, [this](const QString& file) {
    const bool copies = CopiesFrames(file.toStdString());
    // Named for the open file's format (MP3 when none is open).
    const FormatEntry* entry = FormatEntryOfFile(file.toStdString());
    const QString format = entry ? QString::fromStdString(entry->name) : QString("MP3");
    cbKeepQuality->setText("&Keep " + format + " quality (no re-encoding)");
    cbKeepQuality->setToolTip("Copy the " + format + " " + (entry && entry->walksFrames ? "frames" : "packets") +
                              " of the selection, exact to the sample, instead of encoding it again");
    // A format known to have no way says why; one that loses nothing anyway says so.
    if (!copies && entry != nullptr && entry->whyNoLosslessCut != nullptr)
      cbKeepQuality->setToolTip(QString(entry->whyNoLosslessCut) + ".");
    if (entry != nullptr && entry->plainCutIsLossless)
      cbKeepQuality->setToolTip("A " + format + " cut keeps every sample as it is: nothing is lost.");
    cbKeepQuality->setEnabled(copies);
    cbKeepQuality->setChecked(copies ? keepQualityChoice_ : entry != nullptr && entry->plainCutIsLossless);
  });
}

bool TfrmMain::KeepsQuality(const std::string& source) const {
  return CopiesFrames(source) && cbKeepQuality->isEnabled() && cbKeepQuality->isChecked();
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
  // Said before the user picks a name, not after.
  if (KeepsQuality(source) && (sbFadeIn->value() > 0 || sbFadeOut->value() > 0)) {
    Dialogs::Current().Information(this, "Fades change the samples, so they are encoded again: untick \"" +
                                             cbKeepQuality->text().remove('&') + "\" or set the fades to 0.");
    return;
  }
  const QFileInfo info(QString::fromStdString(source));
  const QString ext = QString::fromStdString(ResultExtension(source));  // its letter case kept
  const QString chosen =
      Dialogs::Current().SaveFileName(this, Texts::kSaveCutTitle, SoundFilesFilter(ext), ext.mid(1),
                                      "cut_" + info.completeBaseName() + ext, info.absolutePath());
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
  CutRequest request;
  request.source = source;
  request.target = target;
  cutTarget_ = target;
  request.frames = [this](int rate) { return SelectedFrames(rate); };
  request.lossless = KeepsQuality(source);
  request.levels.fadeInMs = sbFadeIn->value();
  request.levels.fadeOutMs = sbFadeOut->value();
  request.levels.curve = FadeCurve::EqualPower;
  request.replaceTarget = true;  // the user was asked
  JobEvents events;
  events.progress = [this](int percent) { ShowCutProgress(percent); };
  events.finished = [this](const std::string& failure) { CutFinished(failure); };
  try {
    cut_.reset();  // the last run ends first: ending it serves the window's queue, where the new run's news would be
    cut_ = ::StartCut(request, std::move(events));
    return true;
  } catch (const std::exception& e) {
    Dialogs::Current().Information(this, QString::fromStdString(e.what()));
    return false;
  }
}

void TfrmMain::ShowCutProgress(int percent) {
  setWindowTitle(QString(Texts::kProgramTitle) + Texts::kCutting + QString::number(percent) + "%");
}

void TfrmMain::CutFinished(const std::string& failure) {
  setWindowTitle(Texts::kProgramTitle);
  bStartCut->setEnabled(true);
  // A failed run leaves the old target as it was.
  if (!failure.empty()) Dialogs::Current().Information(this, QString::fromStdString(failure));
  else lStatus->ShowSaved(cutTarget_);
}
