#pragma once

#include <QDialog>
#include <memory>
#include <string>
#include <vector>

#include "app/jobs/Job.h"
#include "app/jobs/SegmentPlan.h"
#include "app/jobs/SplitPlan.h"

class QAction;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;

class TMediaPlayer;
class QDoubleSpinBox;
class TWaveformView;
class WaveformPeaks;

struct SilenceResult;

/// The Segment Cut window: a list of ranges of one file; Start Now removes
/// them and saves what remains as one new file of the file's format, or
/// saves each of them as a file of its own.
class TfrmSegmo : public QDialog {
 public:
  static constexpr int kClientWidth = 427;
  static constexpr int kClientHeight = 580;

  explicit TfrmSegmo(QWidget* parent);
  ~TfrmSegmo() override;

  /// Opens a file as "Open File" does after its dialog.
  void OpenFile(const QString& file);

 private:
  void CreateControls();
  /// Which children stretch or move as the window grows.
  void AnchorChildren();
  void resizeEvent(QResizeEvent* event) override;
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
  /// The rows as ranges in milliseconds, with their exact frames where the
  /// program placed them on samples of the open file.
  std::vector<RemovedRange> Rows() const;
  /// Row `row` covers frames [start, end) of the open file exactly.
  void MarkExact(int row, int64_t start, int64_t end);
  /// The exact frames of a row of the open file; false for a typed row.
  bool ExactFrames(int row, int64_t& start, int64_t& end) const;
  /// The frames the open file holds; -1 when it cannot be read now.
  int64_t FileFrames() const;
  /// Names the columns and shades the waveform for what the list is for now.
  void ShowListMode();
  void ShowStep(const std::string& step);
  void JobFinished(const std::string& failure);
  /// Back to idle: caption, Start Now, cursor.
  void ShowIdle();
  /// Shades the listed ranges in the waveform.
  void ShadeRows();

  // Pieces (SegmoPieces.cpp): the list's other use, and what fills it.
  void CreatePieceControls();
  /// Starts Find Silences, or stops it when it runs.
  void bFindSilencesClick();
  /// Ends a search still running without a word: another file or list replaces what it would find.
  void EndSearch();
  /// Keeps what Find Silences found and fills the rows with it.
  void SilencesFound(const SilenceResult& result);
  /// Fills the rows with the silences found, less what Kept leaves of each.
  void FillFromSilences();
  /// Kept changed: rows still as the silences filled them follow it at once.
  void KeptChanged();
  /// The status line says how many ranges the list removes and how long they are together.
  void ShowRemovedSummary();
  /// Takes the rows placed on another file's samples off the list; how many went.
  int DropRowsOfOtherFiles();
  /// The exact frames of each row, or (-1, -1) for a typed one.
  std::vector<std::pair<int64_t, int64_t>> RowFrames() const;
  void bImportCueClick();
  /// Replaces the rows with these ranges (frames at `sampleRate`).
  void FillRows(const std::vector<SplitPiece>& pieces, int sampleRate);
  /// Saves each listed range as a file of its own in a folder the user picks.
  void SaveEachRange(const std::string& source);

  QString BaseCaption;
  std::string WorkFolder;
  int32_t FileDurationMs = 0;

  QLineEdit* eOpenFile = nullptr;
  TWaveformView* wvAudio = nullptr;
  std::unique_ptr<WaveformPeaks> peaks_;
  std::unique_ptr<class Anchors> anchors_;
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
  QRadioButton* rbRemove = nullptr;
  QRadioButton* rbSave = nullptr;
  QPushButton* bFindSilences = nullptr;
  QPushButton* bImportCue = nullptr;
  /// What Find Silences found in the open file, and the rows it filled the list with.
  std::unique_ptr<SilenceResult> found_;
  std::vector<std::pair<int64_t, int64_t>> foundRows_;
  /// The tracks of the last cue sheet imported, for their titles and numbers.
  std::vector<SplitPiece> cuePieces_;
  int cueRate_ = 0;
  TMediaPlayer* MediaPlayer1 = nullptr;
  bool refocusing_ = false;
  bool waitCursor_ = false;
  bool searching_ = false;  // Find Silences runs: its button stops it
  /// The range last dragged in the waveform and the texts it gave the boxes.
  struct Dragged {
    int64_t start = -1, end = -1;
    QString startText, endText;
  } dragged_;
  QDoubleSpinBox* sbKeep = nullptr;
  /// Pieces and what remains are copied from the source's frames or
  /// packets, where its format can (see ShowKeepQuality).
  class QCheckBox* cbKeepQuality = nullptr;
  /// Removing: each join crossfades over kJoinCrossfadeMs (on unless unticked).
  class QCheckBox* cbCrossfade = nullptr;
  void ShowKeepQuality();
  /// How the last job ended, and what the running one saves: one file, or
  /// the line that tells of its pieces. Neither for Find Silences.
  class StatusLine* lStatus = nullptr;
  std::string savedFile_;
  QString savedPieces_;
  /// The last times the boxes accepted, as they were typed.
  QString acceptedStart_;
  QString acceptedEnd_;

  /// The last job started: closing the window mid-job stops it and removes its files.
  std::unique_ptr<Job> job_;
};
