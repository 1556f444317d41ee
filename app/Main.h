#pragma once

#include <QRect>
#include <QWidget>

class ClickLabel;
class QAction;
class QDialog;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class TTrackBar2;

/// The main cutter window: banner with links, the file box, the range
/// trackbar, preview buttons, the range and cut group, and the buttons that
/// open the other windows and the "More" menu.
///
/// Child widgets carry their component names as object names (bOpen, eStart...).
class TfrmMain : public QWidget {
 public:
  static constexpr int kClientWidth = 513;
  static constexpr int kClientHeight = 313;
  /// Where the range trackbar sits.
  static constexpr QRect kTrackBarRect{8, 98, 496, 50};

  explicit TfrmMain(QWidget* parent = nullptr);

  /// The wake-up message of a second start: show, restore and bring to the front.
  void WMWakeUp();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormCreate();
  void FormShow();
  void CreateBanner();
  void CreateFileGroup();
  void CreatePreviewGroup();
  void CreateCutGroup();
  void CreateWindowButtons();
  void bSegmoClick();
  void bJoinerClick();
  void bAboutClick();
  void miAboutClick();
  /// Shows a secondary window modally, then repaints the trackbar.
  void ShowSecondary(QDialog& window);

  QLabel* imgTitle = nullptr;
  ClickLabel* Image1 = nullptr;
  ClickLabel* lTitle = nullptr;
  QLabel* lSubtitle = nullptr;
  ClickLabel* lUpdate = nullptr;
  QLabel* iUpdate = nullptr;

  QPushButton* bOpen = nullptr;
  QLineEdit* eOpenFile = nullptr;
  TTrackBar2* tbAudio = nullptr;

  QAction* aPlay = nullptr;
  QAction* aPause = nullptr;
  QAction* aStop = nullptr;
  QAction* aMarkStart = nullptr;
  QAction* aMarkEnd = nullptr;
  QAction* aPlaySelection = nullptr;

  QLineEdit* eStart = nullptr;
  QLineEdit* eEnd = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* lFileTime = nullptr;
  QPushButton* bStartCut = nullptr;

  QPushButton* bSegmo = nullptr;
  QPushButton* bJoiner = nullptr;
  QPushButton* bAbout = nullptr;
  QMenu* pmAbout = nullptr;

  /// The current preview stops at the end thumb.
  bool SelectionPlay = false;
};
