#pragma once

#include <QDialog>
#include <memory>
#include <string>

#include "app/jobs/Job.h"
#include "audio/Forward.h"

class QLineEdit;
class QPushButton;
class QRadioButton;
class QGroupBox;


/// The Joiner & Mixer window: writes two files of one format as one file of
/// that format, one after the other ("Joiner") or played together ("Mixer").
class TfrmJoiner : public QDialog {
 public:
  static constexpr int kClientWidth = 520;
  static constexpr int kClientHeight = 176;

  explicit TfrmJoiner(QWidget* parent);
  ~TfrmJoiner() override;

 protected:
  /// A sound file dropped on a file's box goes in that box (elsewhere: in the first empty one).
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void FormCreate();
  void bOpen1Click();
  void bOpen2Click();
  /// Shows the open dialog and puts the chosen file's name in `box`.
  void ChooseFile(QLineEdit* box);
  void bStartClick();
  /// Sets up and starts the run into `target`; false with a message when it cannot.
  bool StartRun(const std::string& target);
  void ShowProgress(int percent);
  /// The end of the run: `failure` is empty when the file is in place.
  void RunFinished(const std::string& failure);
  void suiButton2Click();
  /// Back to idle: caption, Start, cursor.
  void ShowIdle();

  QString BaseCaption;
  QLineEdit* eFile1 = nullptr;
  QLineEdit* eFile2 = nullptr;
  QPushButton* bOpen1 = nullptr;
  QPushButton* bOpen2 = nullptr;
  QGroupBox* suiRadioGroup1 = nullptr;
  QRadioButton* rbJoiner = nullptr;
  QRadioButton* rbMixer = nullptr;
  QPushButton* bStart = nullptr;
  QPushButton* suiButton2 = nullptr;
  /// How the last run ended.
  class StatusLine* lStatus = nullptr;
  std::string target_;

  bool waitCursor_ = false;
  /// The last run started: closing the window mid-run stops it and removes its file.
  std::unique_ptr<Job> run_;
};
