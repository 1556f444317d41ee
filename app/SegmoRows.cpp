// The Segment Cut window's list rows: their texts, the exact frames of the
// rows the program placed on samples, what the columns are called, and how
// the waveform shades them.
//
// A row found by the program (a silence, a cue track) or dragged in the
// waveform keeps the frames it was found on: its texts show the time to the
// millisecond, but the job removes or saves exactly those frames. A typed
// row is its times.
#include <QHeaderView>
#include <QLineEdit>
#include <QRadioButton>
#include <QCheckBox>
#include <QTableWidget>
#include <algorithm>
#include <climits>
#include <cmath>

#include "app/Segmo.h"
#include "app/StatusLine.h"
#include "app/WaveformPeaks.h"
#include "app/jobs/Global.h"
#include "app/jobs/Job.h"
#include "audio/classes/FileIn.h"
#include "audio/formats/FormatRegistry.h"
#include "controls/WaveformView.h"

namespace {

/// Where an item keeps its exact frame, and the file it is a frame of.
constexpr int kFrameRole = Qt::UserRole;
constexpr int kFileRole = Qt::UserRole + 1;

int64_t RowMs(const QTableWidgetItem* item) { return TimeTextToMs(item->text().toStdString()); }

}  // namespace

void TfrmSegmo::MarkExact(int row, int64_t start, int64_t end) {
  const QString file = eOpenFile->text();
  for (const auto& [column, frame] : {std::pair{0, start}, std::pair{1, end}}) {
    QTableWidgetItem* item = lvMain->item(row, column);
    item->setData(kFileRole, file);
    item->setData(kFrameRole, QVariant::fromValue<qlonglong>(frame));
  }
  ShadeRows();
}

bool TfrmSegmo::ExactFrames(int row, int64_t& start, int64_t& end) const {
  const QTableWidgetItem* from = lvMain->item(row, 0);
  const QTableWidgetItem* to = lvMain->item(row, 1);
  if (!from || !to || from->data(kFileRole).toString() != eOpenFile->text() || eOpenFile->text().isEmpty()) return false;
  // The texts still say what the frames were found as.
  start = from->data(kFrameRole).toLongLong();
  end = to->data(kFrameRole).toLongLong();
  return end >= start;
}

int64_t TfrmSegmo::FileFrames() const {
  try {
    return OpenSource(eOpenFile->text().toStdString(), &FormatEntry::newInput)->TotalSamples();
  } catch (const std::exception&) {
    return -1;  // the job that opens it says why
  }
}

std::vector<std::pair<int64_t, int64_t>> TfrmSegmo::RowFrames() const {
  std::vector<std::pair<int64_t, int64_t>> frames;
  for (int i = 0; i < lvMain->rowCount(); ++i) {
    int64_t start = -1, end = -1;
    if (!ExactFrames(i, start, end)) start = end = -1;
    frames.emplace_back(start, end);
  }
  return frames;
}

int TfrmSegmo::DropRowsOfOtherFiles() {
  int dropped = 0;
  for (int i = lvMain->rowCount() - 1; i >= 0; --i) {
    const QTableWidgetItem* item = lvMain->item(i, 0);
    const QString file = item ? item->data(kFileRole).toString() : QString();
    if (file.isEmpty() || file == eOpenFile->text()) continue;  // typed, or this file's
    lvMain->removeRow(i);
    ++dropped;
  }
  if (dropped > 0) cuePieces_.clear();
  return dropped;
}

void TfrmSegmo::ShowRemovedSummary() {
  if (!peaks_ || rbSave->isChecked()) return;
  int64_t frames = 0;
  for (const auto& [start, end] : RowFrames()) frames += std::max<int64_t>(end - start, 0);
  const int ranges = lvMain->rowCount();
  const auto ms = std::llround(static_cast<double>(frames) * 1000.0 / std::max(peaks_->SampleRate(), 1));
  lStatus->ShowText(QString::number(ranges) + (ranges == 1 ? " range, " : " ranges, ") +
                    QString::fromStdString(MsToMillisecondText(static_cast<int32_t>(std::min<int64_t>(ms, INT32_MAX)))) +
                    " to remove");
}

std::vector<RemovedRange> TfrmSegmo::Rows() const {
  std::vector<RemovedRange> rows;
  for (int i = 0; i < lvMain->rowCount(); ++i) {
    RemovedRange row{RowMs(lvMain->item(i, 0)), RowMs(lvMain->item(i, 1))};
    int64_t start = 0, end = 0;
    if (ExactFrames(i, start, end)) {
      row.startFrame = start;
      row.endFrame = end;
    }
    rows.push_back(row);
  }
  return rows;
}

void TfrmSegmo::SwapRows(int from, int to) {
  // Whole items, so that each keeps its frames and its title.
  for (int column = 0; column < lvMain->columnCount(); ++column) {
    QTableWidgetItem* a = lvMain->takeItem(from, column);
    QTableWidgetItem* b = lvMain->takeItem(to, column);
    lvMain->setItem(from, column, b);
    lvMain->setItem(to, column, a);
  }
  lvMain->selectRow(to);
}

void TfrmSegmo::ShadeRows() {
  if (!peaks_) return;
  std::vector<std::pair<int64_t, int64_t>> shaded;
  const double framesPerMs = peaks_->SampleRate() / 1000.0;
  for (int i = 0; i < lvMain->rowCount(); ++i) {
    // A row being inserted has no texts yet: it is shaded once they are set.
    const QTableWidgetItem* from = lvMain->item(i, 0);
    const QTableWidgetItem* to = lvMain->item(i, 1);
    if (!from || !to) continue;
    int64_t start = 0, end = 0;
    if (!ExactFrames(i, start, end)) {
      start = std::llround(static_cast<double>(RowMs(from)) * framesPerMs);
      end = std::llround(static_cast<double>(RowMs(to)) * framesPerMs);
    }
    shaded.emplace_back(start, end);
  }
  wvAudio->SetRanges(std::move(shaded), rbSave->isChecked() ? TWaveformView::Shade::Kept : TWaveformView::Shade::Removed);
}

void TfrmSegmo::ShowListMode() {
  const bool saving = rbSave->isChecked();
  lvMain->setHorizontalHeaderLabels(
      saving ? QStringList{"Piece Start", "Piece End", "Title"} : QStringList{"Cut Start", "Cut End", "Title"});
  lvMain->setToolTip(saving ? "Each range is saved as a file of its own" : "Cut them and join the reserved data");
  cbCrossfade->setEnabled(!saving);
  ShadeRows();
}
