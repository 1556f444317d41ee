// The Segment Cut window's other use of its list: each range saved as a file
// of its own; and what fills the list: the file's silences, a cue sheet.
#include <QApplication>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <cmath>
#include <filesystem>

#include "app/Dialogs.h"
#include "app/Segmo.h"
#include "app/StatusLine.h"
#include "app/Texts.h"
#include "app/Widgets.h"
#include "app/jobs/CutJob.h"
#include "app/jobs/Global.h"
#include "app/jobs/SegmentJob.h"
#include "app/jobs/SilenceJob.h"
#include "app/jobs/SplitJob.h"
#include "audio/ACS_Classes.h"
#include "audio/formats/FormatRegistry.h"
#include "audio/peaks/FrameRangeReader.h"
#include "audio/peaks/Silences.h"
#include "platform/CueSheet.h"

namespace {

namespace fs = std::filesystem;

constexpr char kSaveEach[] = "Save each listed range as its own file";
constexpr char kNamePieces[] = "Name the pieces ({n}: the number, {title} and {artist}: the cue sheet's, {source}: the file's name):";
constexpr double kSilenceDb = -50;
constexpr double kSilenceSeconds = 0.5;
constexpr char kFindSilences[] = "Find S&ilences";
constexpr char kStopFinding[] = "&Stop";
constexpr char kFindingSilences[] = " - Finding silences ... ";

/// The exact input of the file in the window, opened.
std::unique_ptr<TAuFileIn> Source(const QLineEdit* box) {
  return OpenSource(box->text().toStdString(), &FormatEntry::newInput);
}

/// A frame the program found, to the millisecond.
QString TimeOfFrame(int64_t frame, int sampleRate) {
  const auto ms = std::llround(static_cast<double>(frame) * 1000.0 / sampleRate);
  return QString::fromStdString(MsToMillisecondText(static_cast<int32_t>(std::min<int64_t>(ms, INT32_MAX))));
}

}  // namespace

void TfrmSegmo::CreatePieceControls() {
  rbRemove = Place(new QRadioButton("Remove the listed ranges", this), "rbRemove", QRect(8, 474, 190, 22));
  cbCrossfade = Place(new QCheckBox("Crossfade", this), "cbCrossfade", QRect(200, 474, 108, 22));
  cbCrossfade->setChecked(true);
  cbCrossfade->setToolTip(QString("Crossfade each join over %1 ms, taken from the removed ranges: no click, and the "
                                  "length stays exact")
                              .arg(kJoinCrossfadeMs));
  rbSave = Place(new QRadioButton(kSaveEach, this), "rbSave", QRect(8, 496, 300, 22));
  rbRemove->setChecked(true);
  connect(rbSave, &QRadioButton::toggled, this, [this] { ShowListMode(); });
  // Of each silence found, what stays in place: speech keeps its pauses.
  Place(new QLabel("Kept:", this), "lKeep", QRect(319, 474, 34, 24))->setToolTip("Silence kept");
  sbKeep = Place(new QDoubleSpinBox(this), "sbKeep", QRect(353, 474, 66, 24));
  sbKeep->setRange(0, 10);
  sbKeep->setDecimals(2);
  sbKeep->setSingleStep(0.1);
  sbKeep->setSuffix(" s");
  sbKeep->setValue(kKeptSilenceSeconds);
  sbKeep->setToolTip("Seconds of each silence Find Silences leaves in place, half at each side");
  connect(sbKeep, &QDoubleSpinBox::valueChanged, this, [this] { KeptChanged(); });
  cbKeepQuality = Place(new QCheckBox("Keep &quality", this), "cbKeepQuality", QRect(319, 500, 100, 22));
  connect(eOpenFile, &QLineEdit::textChanged, this, [this] { ShowKeepQuality(); });
  // The window's width: a line of a job's result or of the list is long.
  lStatus = Place(new StatusLine(this), "lStatus", QRect(8, 556, 411, 20));
  ShowListMode();
  ShowKeepQuality();
  bFindSilences = MakeButton(this, "bFindSilences", kFindSilences, QRect(8, 522, 140, 27));
  bImportCue = MakeButton(this, "bImportCue", "Import &Cue Sheet...", QRect(156, 522, 152, 27));
  connect(bFindSilences, &QPushButton::clicked, this, [this] { bFindSilencesClick(); });
  connect(bImportCue, &QPushButton::clicked, this, [this] { bImportCueClick(); });
}

void TfrmSegmo::ShowKeepQuality() {
  const FormatEntry* entry = FormatEntryOfFile(eOpenFile->text().toStdString());
  const bool copies = entry != nullptr && entry->newLosslessOutput != nullptr;
  cbKeepQuality->setEnabled(copies);
  if (!copies) cbKeepQuality->setChecked(false);
  if (copies)
    cbKeepQuality->setToolTip(QString("Copy the ") + entry->name + (entry->walksFrames ? " frames" : " packets") +
                              " instead of encoding them again, exact to the sample: each piece saved, or what "
                              "remains when the ranges lie at the start and the end");
  else if (entry != nullptr && entry->whyNoLosslessCut != nullptr)
    cbKeepQuality->setToolTip(QString(entry->whyNoLosslessCut) + ".");
  else
    cbKeepQuality->setToolTip("Copy the frames or packets of " +
                              QString::fromStdString(FormatNames([](const FormatEntry& e) { return e.newLosslessOutput != nullptr; })) +
                              " files instead of encoding them again");
}

void TfrmSegmo::FillRows(const std::vector<SplitPiece>& pieces, int sampleRate) {
  lvMain->setRowCount(0);
  for (const SplitPiece& piece : pieces) {
    const int row = lvMain->rowCount();
    lvMain->insertRow(row);
    lvMain->setItem(row, 0, new QTableWidgetItem(TimeOfFrame(piece.range.startSample, sampleRate)));
    lvMain->setItem(row, 1, new QTableWidgetItem(TimeOfFrame(piece.range.endSample + 1, sampleRate)));
    lvMain->setItem(row, 2, new QTableWidgetItem(QString::fromStdString(piece.title)));
    MarkExact(row, piece.range.startSample, piece.range.endSample + 1);
  }
  if (!pieces.empty()) lvMain->selectRow(0);
}

void TfrmSegmo::bFindSilencesClick() {
  if (searching_) {
    if (job_) job_->Stop();
    return;
  }
  if (eOpenFile->text().isEmpty()) return Dialogs::Current().Information(this, Texts::kOpenFirst);
  if (job_ && job_->Running()) return;
  SilenceRequest request;
  request.source = eOpenFile->text().toStdString();
  request.thresholdDb = kSilenceDb;
  request.minSeconds = kSilenceSeconds;
  request.threads = MachineThreads();
  JobEvents events;
  events.progress = [this](int percent) { ShowStep(kFindingSilences + std::to_string(percent) + "%"); };
  events.finished = [this](const std::string& failure) {
    searching_ = false;
    bFindSilences->setText(kFindSilences);
    JobFinished(failure);
  };
  searching_ = true;
  savedFile_.clear();
  savedPieces_.clear();
  bFindSilences->setText(kStopFinding);
  ShowStep(kFindingSilences);
  job_.reset();  // the last run ends first: ending it serves the window's queue, where the new run's news would be
  job_ = StartFindSilences(request, std::move(events), [this](const SilenceResult& found) { SilencesFound(found); });
}

void TfrmSegmo::EndSearch() {
  if (!searching_) return;
  job_.reset();  // heard no more
  searching_ = false;
  bFindSilences->setText(kFindSilences);
  ShowIdle();
}

void TfrmSegmo::SilencesFound(const SilenceResult& found) {
  found_ = std::make_unique<SilenceResult>(found);
  FillFromSilences();
  if (found.silences.empty()) Dialogs::Current().Information(this, "No silence of half a second under -50 dBFS was found.");
}

void TfrmSegmo::FillFromSilences() {
  // Each silence less what is kept of it: removed as it is, or the sound between saved.
  const SilenceResult& found = *found_;
  const auto keep = std::llround(sbKeep->value() * found.sampleRate);
  std::vector<SilentRun> ranges = ShrinkSilences(found.silences, found.total, keep);
  if (rbSave->isChecked()) ranges = SoundBetween(ranges, found.total);
  std::vector<SplitPiece> rows;
  for (const SilentRun& run : ranges) rows.push_back({{run.start, run.end - 1}, {}, {}, 0, 0});
  cuePieces_.clear();
  FillRows(rows, found.sampleRate);
  foundRows_ = RowFrames();
  ShowRemovedSummary();
}

void TfrmSegmo::KeptChanged() {
  // Rows the user changed since are theirs: only the list as the silences filled it follows.
  if (found_ && RowFrames() == foundRows_) FillFromSilences();
}

void TfrmSegmo::bImportCueClick() {
  if (eOpenFile->text().isEmpty()) return Dialogs::Current().Information(this, Texts::kOpenFirst);
  const QString cue = Dialogs::Current().OpenFileName(this, "Import Cue Sheet", {"Cue Sheets", {"*.cue"}});
  if (cue.isEmpty()) return;
  EndSearch();  // the sheet's tracks take the list
  try {
    const auto input = Source(eOpenFile);
    cuePieces_ = PiecesOfCueSheet(media::ReadCueSheet(cue.toStdString()), cue.toStdString(),
                                  eOpenFile->text().toStdString(), input->SampleRate(), input->TotalSamples());
    cueRate_ = input->SampleRate();
    FillRows(cuePieces_, cueRate_);
    rbSave->setChecked(true);  // a cue sheet's tracks are for saving
  } catch (const std::exception& e) {
    Dialogs::Current().Information(this, QString::fromStdString(e.what()));
  }
}

void TfrmSegmo::SaveEachRange(const std::string& source) {
  const std::vector<RemovedRange> rows = Rows();
  const int64_t totalMs = TimeTextToMs(lFileTime->text().toStdString());
  const int64_t frames = FileFrames();
  for (const RemovedRange& row : rows)
    if (const std::string refusal = CheckNewRow(row, totalMs, frames); !refusal.empty())
      return Dialogs::Current().Information(this, QString::fromStdString(refusal));
  SplitRequest request;
  request.source = source;
  try {
    const auto input = Source(eOpenFile);
    const int rate = input->SampleRate();
    const int64_t total = input->TotalSamples();
    for (size_t i = 0; i < rows.size(); ++i) {
      SplitPiece piece;
      piece.range.startSample = FrameOfMs(rows[i].startMs, rate);
      piece.range.endSample = (rows[i].endMs >= totalMs ? total : std::min(total, FrameOfMs(rows[i].endMs, rate))) - 1;
      if (rows[i].Exact()) piece.range = {rows[i].startFrame, std::min(rows[i].endFrame, total) - 1};
      // A cue sheet's track the list still shows keeps its exact frames, title and number.
      const SplitPiece* cue = i < cuePieces_.size() && cueRate_ == rate ? &cuePieces_[i] : nullptr;
      const auto near = [rate](int64_t a, int64_t b) { return std::llabs(a - b) <= rate / 1000 + 1; };
      if (cue && near(cue->range.startSample, piece.range.startSample) && near(cue->range.endSample, piece.range.endSample))
        piece = *cue;
      request.pieces.push_back(piece);
    }
  } catch (const std::exception& e) {
    return Dialogs::Current().Information(this, QString::fromStdString(e.what()));
  }
  const QString folder = Dialogs::Current().FolderName(this, kSaveEach, QFileInfo(eOpenFile->text()).absolutePath());
  if (folder.isEmpty()) return;
  const QString pattern = Dialogs::Current().AskText(this, kNamePieces, QString::fromStdString(request.pattern));
  if (pattern.isEmpty()) return;
  request.folder = folder.toStdString();
  savedFile_.clear();
  savedPieces_ = "Saved " + QString::number(request.pieces.size()) + (request.pieces.size() == 1 ? " piece in " : " pieces in ") + folder;
  request.pattern = pattern.toStdString();
  request.lossless = cbKeepQuality->isEnabled() && cbKeepQuality->isChecked();
  int existing = 0;
  std::error_code error;
  for (const std::string& file : PieceFiles(request)) existing += fs::exists(file, error) ? 1 : 0;
  if (existing > 0 &&
      !Dialogs::Current().AskYesNo(this, QString::number(existing) + " of the pieces' files exist in " + folder +
                                             ". Replace them?"))
    return;
  request.replaceTargets = true;
  JobEvents events;
  events.step = [this](const std::string& step) { ShowStep(step); };
  events.finished = [this](const std::string& failure) { JobFinished(failure); };
  QApplication::setOverrideCursor(Qt::WaitCursor);
  waitCursor_ = true;
  aStartCut->setEnabled(false);
  try {
    job_.reset();  // the last run ends first: ending it serves the window's queue, where the new run's news would be
    job_ = StartSplit(request, std::move(events));
  } catch (const std::exception& e) {
    ShowIdle();
    Dialogs::Current().Information(this, QString::fromStdString(e.what()));
  }
}
