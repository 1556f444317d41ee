#include "app/Joiner.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QRadioButton>
#include <QStyle>
#include <filesystem>

#include "app/Dialogs.h"
#include "app/StatusLine.h"
#include "app/Texts.h"
#include "app/Widgets.h"
#include "app/jobs/JoinJob.h"
#include "app/jobs/TargetFile.h"
#include "audio/formats/FormatRegistry.h"

namespace {

namespace fs = std::filesystem;

}  // namespace

TfrmJoiner::TfrmJoiner(QWidget* parent) : QDialog(parent) {
  setObjectName("frmJoiner");
  setWindowTitle(Texts::kJoinerCaption);
  setFixedSize(kClientWidth, kClientHeight);

  Place(new QLabel("File1:", this), "lFile1", QRect(12, 20, 40, 21));
  eFile1 = Place(new QLineEdit(this), "eFile1", QRect(56, 18, 340, 25));
  eFile1->setReadOnly(true);
  bOpen1 = MakeButton(this, "bOpen1", "&Open File", QRect(408, 17, 100, 27));
  Place(new QLabel("File2:", this), "lFile2", QRect(12, 58, 40, 21));
  eFile2 = Place(new QLineEdit(this), "eFile2", QRect(56, 56, 340, 25));
  eFile2->setReadOnly(true);
  // Alt+O opens the first file, Alt+P the second.
  bOpen2 = MakeButton(this, "bOpen2", "O&pen File", QRect(408, 55, 100, 27));
  for (QPushButton* open : {bOpen1, bOpen2}) open->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));

  suiRadioGroup1 = Place(new QGroupBox(this), "suiRadioGroup1", QRect(12, 96, 384, 66));
  rbJoiner = Place(new QRadioButton("Joiner", suiRadioGroup1), "rbJoiner", QRect(16, 24, 160, 24));
  rbMixer = Place(new QRadioButton("Mixer", suiRadioGroup1), "rbMixer", QRect(200, 24, 160, 24));
  rbJoiner->setChecked(true);

  bStart = MakeButton(this, "bStart", "&Start", QRect(408, 100, 100, 27));
  suiButton2 = MakeButton(this, "suiButton2", "&Close", QRect(408, 135, 100, 27));
  lStatus = Place(new StatusLine(this), "lStatus", QRect(14, 160, 380, 16));
  connect(bOpen1, &QPushButton::clicked, this, [this] { bOpen1Click(); });
  connect(bOpen2, &QPushButton::clicked, this, [this] { bOpen2Click(); });
  connect(bStart, &QPushButton::clicked, this, [this] { bStartClick(); });
  connect(suiButton2, &QPushButton::clicked, this, [this] { suiButton2Click(); });

  // Drops go to the window, which puts the file in the box under them.
  setAcceptDrops(true);
  eFile1->setAcceptDrops(false);
  eFile2->setAcceptDrops(false);
  FormCreate();
}

TfrmJoiner::~TfrmJoiner() {
  // A run still going stops with its job; nothing is left to report it to.
  run_.reset();
  if (waitCursor_) QApplication::restoreOverrideCursor();
}

void TfrmJoiner::FormCreate() { BaseCaption = windowTitle(); }

void TfrmJoiner::dragEnterEvent(QDragEnterEvent* event) {
  if (!DroppedSoundFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TfrmJoiner::dropEvent(QDropEvent* event) {
  const QString file = DroppedSoundFile(event->mimeData());
  if (file.isEmpty()) return;
  event->acceptProposedAction();
  const QPoint at = event->position().toPoint();
  QLineEdit* box = eFile2->geometry().contains(eFile2->parentWidget()->mapFrom(this, at)) ? eFile2
                   : eFile1->geometry().contains(eFile1->parentWidget()->mapFrom(this, at)) ? eFile1
                   : eFile1->text().isEmpty() ? eFile1
                                              : eFile2;
  box->setText(file);
}

void TfrmJoiner::bOpen1Click() { ChooseFile(eFile1); }
void TfrmJoiner::bOpen2Click() { ChooseFile(eFile2); }

void TfrmJoiner::ChooseFile(QLineEdit* box) {
  const QString chosen = Dialogs::Current().OpenFileName(this, QString(), SoundFilesFilter());
  // The inputs take their files when a run starts: one may be running now.
  if (!chosen.isEmpty()) box->setText(chosen);
}

void TfrmJoiner::bStartClick() {
  const std::string file1 = eFile1->text().toStdString();
  const std::string file2 = eFile2->text().toStdString();
  if (const std::string refusal = CheckJoinFiles(file1, file2); !refusal.empty()) {
    Dialogs::Current().Information(this, QString::fromStdString(refusal));
    return;
  }
  if (!FormatEntryOfFile(file1)) {
    Dialogs::Current().Information(
        this, QString::fromStdString("Only " + FormatNames() + " files can be joined or mixed: ") + eFile1->text());
    return;
  }
  const QString ext = QString::fromStdString(ResultExtension(file1)).mid(1).toLower();
  const QString chosen = Dialogs::Current().SaveFileName(this, QString(), SoundFilesFilter("." + ext), ext,
                                                         QString(), QFileInfo(eFile1->text()).absolutePath());
  if (chosen.isEmpty()) return;
  const std::string target = chosen.toStdString();
  if (IsSameFile(file1, target) || IsSameFile(file2, target)) {
    Dialogs::Current().Information(this, Texts::kSaveOverInput);
    return;
  }
  std::error_code error;
  if (fs::exists(target, error) && !Dialogs::Current().AskYesNo(this, chosen + Texts::kAskOverwrite)) return;

  QApplication::setOverrideCursor(Qt::WaitCursor);
  waitCursor_ = true;
  bStart->setEnabled(false);
  setWindowTitle(BaseCaption + Texts::kProcessing);
  if (!StartRun(target)) ShowIdle();
}

bool TfrmJoiner::StartRun(const std::string& target) {
  JoinRequest request;
  request.file1 = eFile1->text().toStdString();
  request.file2 = eFile2->text().toStdString();
  request.target = target;
  target_ = target;
  request.mode = rbJoiner->isChecked() ? amConcatenate : amMix;
  request.replaceTarget = true;  // the user was asked
  JobEvents events;
  events.progress = [this](int percent) { ShowProgress(percent); };
  events.finished = [this](const std::string& failure) { RunFinished(failure); };
  try {
    run_.reset();  // the last run ends first: ending it serves the window's queue, where the new run's news would be
    run_ = StartJoin(request, std::move(events));
    return true;
  } catch (const std::exception& e) {
    Dialogs::Current().Information(this, QString::fromStdString(e.what()));
    return false;
  }
}

void TfrmJoiner::ShowProgress(int percent) {
  setWindowTitle(BaseCaption + Texts::kProcessing + QString::number(percent) + "%");
}


void TfrmJoiner::ShowIdle() {
  setWindowTitle(BaseCaption);
  bStart->setEnabled(true);
  if (waitCursor_) QApplication::restoreOverrideCursor();
  waitCursor_ = false;
}

void TfrmJoiner::RunFinished(const std::string& failure) {
  ShowIdle();
  // A failed run leaves the old target as it was.
  if (!failure.empty()) Dialogs::Current().Information(this, QString::fromStdString(failure));
  else lStatus->ShowSaved(target_);
}

void TfrmJoiner::suiButton2Click() { close(); }
