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
#include <cmath>

#include "app/Segmo.h"
#include "app/WaveformPeaks.h"
#include "app/jobs/Global.h"
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
