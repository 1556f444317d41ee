#pragma once

#include <QDialog>
#include <memory>
#include <string>

#include "audio/Forward.h"

class QLineEdit;
class QPushButton;
class QRadioButton;
class QGroupBox;
class TargetFile;

/// The Joiner & Mixer window: writes two files of one format as one file of
/// that format, one after the other ("Joiner") or played together ("Mixer").
class TfrmJoiner : public QDialog {
 public:
  static constexpr int kClientWidth = 520;
  static constexpr int kClientHeight = 176;

  explicit TfrmJoiner(QWidget* parent);
  ~TfrmJoiner() override;

 private:
  void FormCreate();
  void bOpen1Click();
  void bOpen2Click();
  /// Shows the open dialog and puts the chosen file's name in `box`.
  void ChooseFile(QLineEdit* box);
  void bStartClick();
  /// Sets up and starts the run into `target`; false with a message when it cannot.
  bool StartRun(const std::string& target);
  void WaveOut1Progress();
  void MP3Out1Progress();
  void WMAOut1Progress();
  void ShowProgress(int percent);
  void WaveOut1Done(const TAuOutput& output);
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

  // The run's file goes after the components have stopped (declared first).
  std::unique_ptr<TargetFile> target_;
  std::string failure_;  // what OnThreadException reported during the run
  bool waitCursor_ = false;

  std::unique_ptr<TWaveIn> WaveIn1, WaveIn2;
  std::unique_ptr<TMP3In> MP3In1, MP3In2;
  std::unique_ptr<TWMIn> WMIn1, WMIn2;
  std::unique_ptr<TAudioMixer> AudioMixer1;
  // Outputs last: they stop before the mixer and the inputs go.
  std::unique_ptr<TWaveOut> WaveOut1;
  std::unique_ptr<TMP3Out> MP3Out1;
  std::unique_ptr<TWMAOut> WMAOut1;
};
