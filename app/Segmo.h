#pragma once

#include <QDialog>
#include <memory>
#include <string>
#include <vector>

#include "app/jobs/Job.h"
#include "app/jobs/SegmentPlan.h"

class QAction;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

class TMediaPlayer;
class TWaveformView;
class WaveformPeaks;

/// The Segment Cut window: a list of ranges to remove from one file; Start
/// Now saves what remains as one new file of the file's format.
class TfrmSegmo : public QDialog {
 public:
  static constexpr int kClientWidth = 427;
  static constexpr int kClientHeight = 474;

  explicit TfrmSegmo(QWidget* parent);
  ~TfrmSegmo() override;

 protected:
  /// Watches the time boxes lose the focus.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateControls();
  void FormCreate();
  void bOpenClick();
  void eStartExit();
  void eEndExit();
  /// Takes the box's time, or refuses a time of the wrong shape: the box gets
  /// its last accepted time back and keeps the focus. False when refused.
  bool CheckTimeBox(QLineEdit* box);
  void bAddClick();
  void aMoveUpExecute();
  void aMoveDownExecute();
  void aRemoveExecute();
  void bRemoveAllClick();
  void aStartCutExecute();
  /// The enabling rules, run whenever the application goes idle.
  void UpdateActions();
  /// Exchanges the texts of two rows and selects the second.
  void SwapRows(int from, int to);
  /// The rows as ranges in milliseconds.
  std::vector<RemovedRange> Rows() const;
  void ShowStep(const std::string& step);
  void JobFinished(const std::string& failure);
  /// Back to idle: caption, Start Now, cursor.
  void ShowIdle();
  /// Shades the listed ranges in the waveform.
  void ShadeRows();

  QString BaseCaption;
  std::string WorkFolder;
  int32_t FileDurationMs = 0;

  QLineEdit* eOpenFile = nullptr;
  TWaveformView* wvAudio = nullptr;
  std::unique_ptr<WaveformPeaks> peaks_;
  class RetiredPeaks* retiredPeaks_ = nullptr;
  QPushButton* bOpen = nullptr;
  QLineEdit* eStart = nullptr;
  QLineEdit* eEnd = nullptr;
  QLabel* lFileTime = nullptr;
  QPushButton* bAdd = nullptr;
  QTableWidget* lvMain = nullptr;
  QAction* aMoveUp = nullptr;
  QAction* aMoveDown = nullptr;
  QAction* aRemove = nullptr;
  QAction* aStartCut = nullptr;
  QPushButton* bStart = nullptr;
  QPushButton* bRemoveAll = nullptr;
  QPushButton* bClose = nullptr;
  TMediaPlayer* MediaPlayer1 = nullptr;
  bool refocusing_ = false;
  bool waitCursor_ = false;
  /// The last times the boxes accepted, as they were typed.
  QString acceptedStart_;
  QString acceptedEnd_;

  /// The last job started: closing the window mid-job stops it and removes its files.
  std::unique_ptr<Job> job_;
};
