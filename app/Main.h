#pragma once

#include <QRect>
#include <QWidget>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>

#include "app/jobs/Job.h"
#include "audio/Forward.h"

class ClickLabel;
class QAction;
class QCheckBox;
class QDialog;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTimer;

class TTrackBar2;
class TWaveformView;
class WaveformPeaks;

/// The main cutter window: banner with links, the file box, the range
/// trackbar, preview buttons, the range and cut group, and the buttons that
/// open the other windows and the "More" menu.
///
/// Child widgets carry their component names as object names (bOpen, eStart...).
class TfrmMain : public QWidget {
 public:
  static constexpr int kClientWidth = 513;
  static constexpr int kClientHeight = 447;
  /// Where the waveform and the range trackbar sit.
  static constexpr QRect kWaveRect{8, 98, 496, 106};
  static constexpr QRect kTrackBarRect{8, 208, 496, 50};

  explicit TfrmMain(QWidget* parent = nullptr);
  ~TfrmMain() override;

  /// The wake-up message of a second start: show, restore and bring to the
  /// front; then open `file` unless it is empty.
  void WMWakeUp(const QString& file = QString());
  /// Opens a file as "Open File" does after its dialog.
  void OpenFile(const QString& file);

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  /// A sound file dropped on the window opens as "Open File" opens it.
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void FormCreate();
  void FormShow();
  void CreateBanner();
  void CreateFileGroup();
  void CreatePreviewGroup();
  void CreateCutGroup();
  void CreateWindowButtons();
  /// Which children stretch or move as the window grows.
  void AnchorChildren();
  void bSegmoClick();
  void bJoinerClick();
  void bAboutClick();
  void miAboutClick();
  /// Shows a secondary window modally, then repaints the trackbar.
  void ShowSecondary(QDialog& window);

  // Opening a file, preview and range selection (MainPreview.cpp).
  void ConnectPreview();
  void bOpenClick();
  /// The whole file selected: Max in half-seconds, both thumbs at the ends.
  void SelectWhole(int max);
  void OpenFailed(const std::exception& error, const std::string& fileName);
  void aPlayExecute();
  void aPlaySelectionExecute();
  void aPauseExecute();
  void aStopExecute();
  void aMarkStartExecute();
  void aMarkEndExecute();
  /// Space: pauses a running preview, else plays from the cursor.
  void aPlayPauseExecute();
  /// Plays the two seconds around the start or the end handle.
  void HearAround(bool atEnd);
  /// Where the cursor is, to the millisecond.
  int32_t CursorMs() const;
  void aPlayUpdate();
  void aPauseUpdate();
  void aStopUpdate();
  /// The enabling rules, run whenever the application goes idle.
  void UpdateActions();
  void Timer1Timer();
  void tbAudioChange();
  void tbAudioMouseDown(Qt::MouseButton button);
  void tbAudioMouseUp(Qt::MouseButton button);
  // The selection (MainSelection.cpp).
  /// The selection becomes [startMs, endMs): the thumbs follow, the boxes
  /// show it (but `typing`, which keeps the user's characters) and the
  /// length label its length.
  void SetSelection(int32_t startMs, int32_t endMs, const QLineEdit* typing = nullptr);
  /// The selection the waveform set, exact to the frame.
  void SetSelectionFrames(int64_t start, int64_t end);
  /// The selection as the range of frames a cut reads at `sampleRate`.
  struct FrameRange SelectedFrames(int sampleRate) const;
  /// Starts the waveform of the open file (nothing for none).
  void ShowWaveform(const std::string& fileName);
  /// Moves the cursor and the readout to where the preview is.
  void UpdatePlayReadout();
  /// Shows where the cursor is.
  void UpdateCursorReadout();
  /// The end time of the end thumb at Max: the whole file.
  int32_t WholeMs() const;
  void eStartChange();
  void eEndChange();
  /// Take the box's time into the selection; false when it was refused.
  bool eStartExit();
  bool eEndExit();
  /// Takes what the boxes show that is not yet taken; false when a box refused it.
  bool CommitTimeBoxes();
  /// Shows the message, gives the box its accepted time back and the focus; false.
  bool RefuseTime(QLineEdit* box, const char* message);
  /// Goes on with a paused preview; false when none is paused.
  bool ResumePaused();
  /// Starts the device on the whole file or on positions from..to; tells when it cannot play.
  void StartDevice(bool whole, int32_t fromMs, int32_t toMs);
  /// Turns the preview off after the device failed: the file stays, preview is unavailable.
  void PreviewFailed();
  /// What to tell when the device cannot play fileName.
  static QString PlaybackMessage(const std::exception& error, const std::string& fileName);
  /// The audio output went away during a preview.
  void MediaPlayer1DeviceLost();

  // Saving the selection (MainCut.cpp).
  void ConnectCut();
  void bStartCutClick();
  /// Starts the cut of the source into the chosen target; false with a message when it cannot.
  bool StartCut(const std::string& source, const std::string& target);
  /// "Keep quality" applies to this source and is ticked.
  bool KeepsQuality(const std::string& source) const;
  void ShowCutProgress(int percent);
  /// The end of the cut: `failure` is empty when the file is in place.
  void CutFinished(const std::string& failure);

  QLabel* imgTitle = nullptr;
  ClickLabel* Image1 = nullptr;
  ClickLabel* lTitle = nullptr;
  QLabel* lSubtitle = nullptr;
  ClickLabel* lUpdate = nullptr;
  QLabel* iUpdate = nullptr;

  QPushButton* bOpen = nullptr;
  QLineEdit* eOpenFile = nullptr;
  TTrackBar2* tbAudio = nullptr;
  TWaveformView* wvAudio = nullptr;
  QLabel* lPlayPosition = nullptr;

  QAction* aPlay = nullptr;
  QAction* aPause = nullptr;
  QAction* aStop = nullptr;
  QAction* aMarkStart = nullptr;
  QAction* aMarkEnd = nullptr;
  QAction* aPlaySelection = nullptr;
  QAction* aPlayPause = nullptr;
  QAction* aHearStart = nullptr;
  QAction* aHearEnd = nullptr;

  QLineEdit* eStart = nullptr;
  QLineEdit* eEnd = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* lFileTime = nullptr;
  QPushButton* bStartCut = nullptr;
  QCheckBox* cbKeepQuality = nullptr;
  /// Milliseconds the saved range fades in and out over (0: none), beside Start Cut.
  class QSpinBox* sbFadeIn = nullptr;
  class QSpinBox* sbFadeOut = nullptr;
  /// "Loudness of the Selection" in More: measured off the window's thread.
  std::unique_ptr<class SelectionLoudness> loudness_;
  void MeasureSelectionLoudness();

  /// How the last cut ended.
  class StatusLine* lStatus = nullptr;
  /// Where the running cut saves.
  std::string cutTarget_;
  QPushButton* bSegmo = nullptr;
  QPushButton* bJoiner = nullptr;
  QPushButton* bAbout = nullptr;
  QMenu* pmAbout = nullptr;

  QTimer* Timer1 = nullptr;
  /// Moves the waveform's playback line and the position readout while a preview plays.
  QTimer* playReadout_ = nullptr;
  TMediaPlayer* MediaPlayer1 = nullptr;

  /// The last cut started: closing the window mid-cut stops it and removes its file.
  std::unique_ptr<Job> cut_;

  /// The current preview stops at the end thumb.
  bool SelectionPlay = false;
  /// PositionL at the last left-button press on the trackbar.
  int DownPositionL = 0;
  /// The opened file cannot be previewed.
  bool PlaybackUnavailable = false;
  /// A time box is being given the focus back: focus changes meanwhile are ours.
  bool refocusing_ = false;
  /// "Keep MP3 quality" as the user last set it for an MP3 file.
  bool keepQualityChoice_ = false;
  /// The selection: what the time boxes show and Start Cut saves. An end at
  /// WholeMs() means the end of the file.
  int32_t selStartMs_ = 0;
  int32_t selEndMs_ = 0;
  /// The same in frames of the open file, exact to the sample: a waveform
  /// places them on any sample, a time sets them to the sample it names.
  int64_t selStartFrame_ = -1;  // -1: not yet set for the open file
  int64_t selEndFrame_ = -1;
  /// The open file's frames and rate as its input counts them (0 unknown).
  int64_t fileFrames_ = 0;
  int fileRate_ = 0;
  /// Where the running preview started, in ms.
  int32_t playFromMs_ = 0;
  /// Where the cursor stood before Hear Start or Hear End: it goes back there when the sound ends.
  int64_t hearReturnFrame_ = -1;
  /// Where a preview of a part stops, in ms (with SelectionPlay).
  int32_t playToMs_ = 0;
  /// The cursor when the preview was paused: Play resumes only from there.
  int64_t pausedAt_ = -1;
  std::unique_ptr<WaveformPeaks> peaks_;
  std::unique_ptr<class Anchors> anchors_;
  class RetiredPeaks* retiredPeaks_ = nullptr;
  /// The thumb positions the selection last set; a thumb elsewhere was moved by the user.
  int thumbL_ = 0;
  int thumbU_ = 0;
  /// The thumbs or boxes are being set from the selection.
  bool settingThumbs_ = false;
};
