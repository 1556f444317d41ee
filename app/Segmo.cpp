#include "app/Segmo.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QFocusEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTableWidget>
#include <filesystem>
#include <cmath>
#include <limits>

#include "app/Anchors.h"
#include "app/Dialogs.h"
#include "app/StatusLine.h"
#include "app/FileLength.h"
#include "app/WaveformPeaks.h"
#include "controls/WaveformView.h"
#include "app/jobs/Global.h"
#include "app/Texts.h"
#include "app/Widgets.h"
#include "audio/formats/FormatRegistry.h"
#include "app/jobs/SegmentJob.h"
#include "app/jobs/SilenceJob.h"
#include "app/jobs/TargetFile.h"
#include "audio/device/MediaPlayer.h"

namespace {

namespace fs = std::filesystem;

std::string Text(const QLineEdit* box) { return box->text().toStdString(); }

}  // namespace

TfrmSegmo::TfrmSegmo(QWidget* parent) : QDialog(parent) {
  setObjectName("frmSegmo");
  setWindowTitle(Texts::kSegmoCaption);
  // The designed layout is the least room it needs; more goes to the waveform.
  setMinimumSize(kClientWidth, kClientHeight);
  resize(kClientWidth, kClientHeight);
  setSizeGripEnabled(true);
  CreateControls();
  AnchorChildren();
  MediaPlayer1 = new TMediaPlayer(this);
  FormCreate();
  connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
          [this] { UpdateActions(); });
}

TfrmSegmo::~TfrmSegmo() {
  // A job still running stops with the window; nobody is left to tell.
  job_.reset();
  if (waitCursor_) QApplication::restoreOverrideCursor();
}

void TfrmSegmo::CreateControls() {
  eOpenFile = Place(new QLineEdit(this), "eOpenFile", QRect(8, 12, 304, 25));
  eOpenFile->setReadOnly(true);
  bOpen = MakeButton(this, "bOpen", "&Open File", QRect(319, 11, 100, 27));
  // The file's waveform: the listed ranges shaded; a drag fills the times.
  wvAudio = Place(new TWaveformView(this), "wvAudio", QRect(8, 44, 411, 106));
  retiredPeaks_ = new RetiredPeaks(this);
  wvAudio->OnSelectionChange = [this](int64_t start, int64_t end) {
    if (!peaks_) return;
    auto text = [this](int64_t frame) {
      return QString::fromStdString(MsToExactTimeText(static_cast<int32_t>(
          std::min<int64_t>(std::llround(frame * 1000.0 / peaks_->SampleRate()), INT32_MAX))));
    };
    eStart->setText(text(start));
    eEnd->setText(text(end));
    acceptedStart_ = eStart->text();
    acceptedEnd_ = eEnd->text();
    // Added while the boxes still show it, the range keeps these exact frames.
    dragged_ = {start, end, eStart->text(), eEnd->text()};
  };
  connect(bOpen, &QPushButton::clicked, this, [this] { bOpenClick(); });

  auto* group = Place(new QGroupBox(Texts::kEnterTimes, this), "gbTimes", QRect(8, 156, 411, 96));
  group->setStyleSheet("QGroupBox { color: red; font-weight: bold; }");
  Place(new QLabel("Start Time: ", group), "lStart", QRect(10, 28, 70, 21));
  eStart = Place(new QLineEdit(Texts::kInitialTime, group), "eStart", QRect(80, 26, 90, 23));
  Place(new QLabel("---", group), "lDash", QRect(176, 28, 20, 21));
  Place(new QLabel("End Time: ", group), "lEnd", QRect(200, 28, 64, 21));
  eEnd = Place(new QLineEdit(Texts::kInitialTime, group), "eEnd", QRect(264, 26, 90, 23));
  acceptedStart_ = acceptedEnd_ = Texts::kInitialTime;
  for (QLineEdit* box : {eStart, eEnd}) {
    box->setMaxLength(12);  // hh:mm:ss.ttt
    box->setStyleSheet("font-weight: normal;");
  }
  // Add checks the boxes itself when it is clicked.
  WatchTimeBoxExits(this, eStart, eEnd, [this] { return bAdd; }, refocusing_, [this](QLineEdit* box) {
    if (box == eStart) eStartExit();
    else eEndExit();
  });
  eStart->setToolTip("Start Time");
  eEnd->setToolTip("End Time");
  Place(new QLabel("Total File Time: ", group), "lTotal", QRect(10, 62, 100, 21));
  lFileTime = Place(new QLabel(Texts::kInitialTime, group), "lFileTime", QRect(112, 62, 90, 21));
  bAdd = MakeButton(group, "bAdd", "&Add to List", QRect(300, 58, 100, 27));
  connect(bAdd, &QPushButton::clicked, this, [this] { bAddClick(); });

  lvMain = Place(new QTableWidget(0, 3, this), "lvMain", QRect(8, 260, 300, 206));
  lvMain->horizontalHeader()->setStretchLastSection(true);
  // The waveform shades what the list holds, whatever changed it.
  QAbstractItemModel* rows = lvMain->model();
  connect(rows, &QAbstractItemModel::rowsInserted, this, [this] { ShadeRows(); });
  connect(rows, &QAbstractItemModel::rowsRemoved, this, [this] { ShadeRows(); });
  connect(rows, &QAbstractItemModel::dataChanged, this, [this] { ShadeRows(); });
  // Room for hh:mm:ss.ttt in each time, and the rest for the title.
  lvMain->setColumnWidth(0, 90);
  lvMain->setColumnWidth(1, 90);
  lvMain->verticalHeader()->hide();
  lvMain->setShowGrid(true);
  lvMain->setSelectionBehavior(QAbstractItemView::SelectRows);
  lvMain->setSelectionMode(QAbstractItemView::SingleSelection);
  lvMain->setEditTriggers(QAbstractItemView::NoEditTriggers);

  aMoveUp = MakeAction(this, "aMoveUp", "&Up", false);
  aMoveDown = MakeAction(this, "aMoveDown", "&Down", false);
  aRemove = MakeAction(this, "aRemove", "&Remove", false);
  aStartCut = MakeAction(this, "aStartCut", "&Start Now", false);
  connect(aMoveUp, &QAction::triggered, this, [this] { aMoveUpExecute(); });
  connect(aMoveDown, &QAction::triggered, this, [this] { aMoveDownExecute(); });
  connect(aRemove, &QAction::triggered, this, [this] { aRemoveExecute(); });
  connect(aStartCut, &QAction::triggered, this, [this] { aStartCutExecute(); });
  MakeActionButton(this, "bUP", aMoveUp, QRect(319, 260, 100, 27));
  MakeActionButton(this, "bDown", aMoveDown, QRect(319, 294, 100, 27));
  MakeActionButton(this, "suiButton3", aRemove, QRect(319, 328, 100, 27));
  bRemoveAll = MakeButton(this, "bRemoveAll", "Remove &All", QRect(319, 362, 100, 27));
  connect(bRemoveAll, &QPushButton::clicked, this, [this] { bRemoveAllClick(); });
  bStart = MakeActionButton(this, "bStart", aStartCut, QRect(319, 405, 100, 27));
  bClose = MakeButton(this, "bClose", "&Close", QRect(319, 439, 100, 27));
  connect(bClose, &QPushButton::clicked, this, &QDialog::close);
  CreatePieceControls();
}

void TfrmSegmo::AnchorChildren() {
  anchors_ = std::make_unique<Anchors>(QSize(kClientWidth, kClientHeight));
  anchors_->Add(eOpenFile, Anchors::kGrowWidth);
  anchors_->Add(bOpen, Anchors::kMoveRight);
  anchors_->Add(wvAudio, Anchors::kGrowWidth | Anchors::kGrowHeight);
  anchors_->Add(findChild<QWidget*>("gbTimes"), Anchors::kMoveDown);
  anchors_->Add(lvMain, Anchors::kMoveDown | Anchors::kGrowWidth);
  anchors_->Add(lStatus, Anchors::kMoveDown | Anchors::kGrowWidth);
  for (const char* name : {"bUP", "bDown", "suiButton3", "bRemoveAll", "bStart", "bClose", "lKeep", "sbKeep", "cbKeepQuality"})
    anchors_->Add(findChild<QWidget*>(name), Anchors::kMoveDown | Anchors::kMoveRight);
  for (QWidget* below : {static_cast<QWidget*>(rbRemove), static_cast<QWidget*>(rbSave), static_cast<QWidget*>(cbCrossfade),
                         static_cast<QWidget*>(bFindSilences), static_cast<QWidget*>(bImportCue)})
    anchors_->Add(below, Anchors::kMoveDown);
}

void TfrmSegmo::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  if (anchors_) anchors_->Apply(size());
}

void TfrmSegmo::FormCreate() {
  BaseCaption = windowTitle();
  WorkFolder = GetAppDataFolder() + "Vorlun/Clipwright/";
  std::error_code error;
  fs::create_directories(WorkFolder, error);
  if (!fs::is_directory(WorkFolder, error)) WorkFolder = QCoreApplication::applicationDirPath().toStdString() + "/";
}

// --- The file and its length ------------------------------------------------

void TfrmSegmo::bOpenClick() {
  const QString chosen = Dialogs::Current().OpenFileName(this, QString(), SoundFilesFilter());
  if (!chosen.isEmpty()) OpenFile(chosen);
}

void TfrmSegmo::OpenFile(const QString& chosen) {
  EndSearch();  // what it would find is the other file's
  const std::string fileName = chosen.toStdString();
  try {
    eOpenFile->setText(chosen);
    wvAudio->SetSource(nullptr);
    retiredPeaks_->Retire(std::move(peaks_));
    FileDurationMs = FileLengthMs(fileName, *MediaPlayer1);
    lFileTime->setText(QString::fromStdString(MsToTimeText(FileDurationMs)));
    peaks_ = WaveformPeaks::Open(fileName);
    wvAudio->SetSource(peaks_.get());
    found_.reset();
    // Rows placed on the last file's samples would cut this one at the wrong places.
    if (const int dropped = DropRowsOfOtherFiles(); dropped > 0)
      lStatus->ShowText(QString::number(dropped) + (dropped == 1 ? " range" : " ranges") + " found in " +
                        "the last file taken off the list");
    ShadeRows();
  } catch (const std::exception& e) {
    // The reason first, as the main window says it.
    Dialogs::Current().Information(this, QString::fromStdString(e.what()) + "   " + Texts::kOpenFileError);
    eOpenFile->clear();
  }
}

// --- Time boxes and the list -------------------------------------------------

void TfrmSegmo::eStartExit() { CheckTimeBox(eStart); }
void TfrmSegmo::eEndExit() { CheckTimeBox(eEnd); }

bool TfrmSegmo::CheckTimeBox(QLineEdit* box) {
  QString& accepted = box == eStart ? acceptedStart_ : acceptedEnd_;
  if (IsTimeText(Text(box))) {
    accepted = box->text();
    return true;
  }
  Dialogs::Current().Information(this, Texts::kTimeFormat);
  box->setText(accepted);
  refocusing_ = true;
  box->setFocus();
  refocusing_ = false;
  return false;
}

void TfrmSegmo::bAddClick() {
  // What is added is what the boxes show: a time of the wrong shape is refused first.
  if (!CheckTimeBox(eStart) || !CheckTimeBox(eEnd)) return;
  const RemovedRange row{TimeTextToMs(Text(eStart)), TimeTextToMs(Text(eEnd))};
  const std::string refusal = CheckNewRow(row, TimeTextToMs(lFileTime->text().toStdString()));
  if (!refusal.empty()) {
    Dialogs::Current().Information(this, QString::fromStdString(refusal));
    return;
  }
  // The same start text again adds nothing, silently.
  for (int i = 0; i < lvMain->rowCount(); ++i)
    if (lvMain->item(i, 0)->text().toUpper() == eStart->text().toUpper()) return;
  const int at = lvMain->rowCount();
  lvMain->insertRow(at);
  lvMain->setItem(at, 0, new QTableWidgetItem(eStart->text()));
  lvMain->setItem(at, 1, new QTableWidgetItem(eEnd->text()));
  if (peaks_ && dragged_.startText == eStart->text() && dragged_.endText == eEnd->text())
    MarkExact(at, dragged_.start, dragged_.end);
  lvMain->selectRow(at);
}

void TfrmSegmo::aMoveUpExecute() {
  const int i = lvMain->currentRow();
  if (i <= 0) return;
  SwapRows(i, i - 1);
}

void TfrmSegmo::aMoveDownExecute() {
  const int i = lvMain->currentRow();
  if (i < 0 || i + 1 >= lvMain->rowCount()) return;
  SwapRows(i, i + 1);
}

void TfrmSegmo::aRemoveExecute() {
  const int i = lvMain->currentRow();
  if (i < 0) return;
  lvMain->removeRow(i);
  if (i < lvMain->rowCount()) lvMain->selectRow(i);
  else if (lvMain->rowCount() > 0) lvMain->selectRow(0);
}

void TfrmSegmo::bRemoveAllClick() { lvMain->setRowCount(0); }

void TfrmSegmo::UpdateActions() {
  const int i = lvMain->currentRow();
  const int rows = lvMain->rowCount();
  aMoveUp->setEnabled(lvMain->isVisible() && i > 0);
  aMoveDown->setEnabled(lvMain->isVisible() && i >= 0 && i < rows - 1);
  aRemove->setEnabled(i != -1);
  aStartCut->setEnabled(rows > 0 && !eOpenFile->text().isEmpty() && !(job_ && job_->Running()));
}

// --- The job -------------------------------------------------------------------

void TfrmSegmo::aStartCutExecute() {
  const std::string source = Text(eOpenFile);
  std::error_code error;
  if (source.empty() || !fs::exists(source, error)) {
    Dialogs::Current().Information(this, Texts::kOpenFirst);
    return;
  }
  if (rbSave->isChecked()) return SaveEachRange(source);
  const std::vector<RemovedRange> rows = Rows();
  const int64_t totalMs = TimeTextToMs(lFileTime->text().toStdString());
  if (const std::string refusal = CheckRows(rows, totalMs, FileFrames()); !refusal.empty()) {
    Dialogs::Current().Information(this, QString::fromStdString(refusal));
    return;
  }
  const QString ext = QString::fromStdString(ResultExtension(source)).mid(1).toLower();
  if (!FormatEntryOfFile(source)) {
    Dialogs::Current().Information(this, QString::fromStdString("Only " + FormatNames() + " files can be cut: ") +
                                             eOpenFile->text());
    return;
  }
  const QString chosen =
      Dialogs::Current().SaveFileName(this, QString(), SoundFilesFilter("." + ext), ext, QString(),
                                      QFileInfo(eOpenFile->text()).absolutePath());
  if (chosen.isEmpty()) return;
  const std::string target = chosen.toStdString();
  if (IsSameFile(source, target)) {
    Dialogs::Current().Information(this, Texts::kSaveOverSource);
    return;
  }
  if (fs::exists(target, error) && !Dialogs::Current().AskYesNo(this, chosen + Texts::kAskOverwrite)) return;

  QApplication::setOverrideCursor(Qt::WaitCursor);
  waitCursor_ = true;
  aStartCut->setEnabled(false);
  RemoveRequest request;
  request.source = source;
  request.target = target;
  savedFile_ = target;
  request.rows = rows;
  request.totalMs = totalMs;
  request.replaceTarget = true;  // the user was asked
  request.workFolder = WorkFolder;
  request.lossless = cbKeepQuality->isEnabled() && cbKeepQuality->isChecked();
  // A lossless result keeps one piece: it has no join to crossfade.
  request.crossfadeMs = cbCrossfade->isChecked() && !request.lossless ? kJoinCrossfadeMs : 0;
  JobEvents events;
  events.step = [this](const std::string& step) { ShowStep(step); };
  events.finished = [this](const std::string& failure) { JobFinished(failure); };
  try {
    job_.reset();  // the last run ends first: ending it serves the window's queue, where the new run's news would be
    job_ = StartRemove(request, std::move(events));
  } catch (const std::exception& e) {
    ShowIdle();
    Dialogs::Current().Information(this, QString::fromStdString(e.what()));
  }
}

void TfrmSegmo::ShowStep(const std::string& step) { setWindowTitle(BaseCaption + QString::fromStdString(step)); }

void TfrmSegmo::ShowIdle() {
  setWindowTitle(BaseCaption);
  UpdateActions();
  if (waitCursor_) QApplication::restoreOverrideCursor();
  waitCursor_ = false;
}

void TfrmSegmo::JobFinished(const std::string& failure) {
  ShowIdle();
  if (!failure.empty()) Dialogs::Current().Information(this, QString::fromStdString(failure));
  else if (!savedFile_.empty()) lStatus->ShowSaved(savedFile_);
  else if (!savedPieces_.isEmpty()) lStatus->ShowText(savedPieces_);
  savedFile_.clear();
  savedPieces_.clear();
}
