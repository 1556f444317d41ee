#include "app/Main.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QScreen>
#include <QShowEvent>
#include <filesystem>
#include <tuple>

#include "app/About.h"
#include "app/Anchors.h"
#include "app/ClickLabel.h"
#include "app/Dialogs.h"
#include "app/Joiner.h"
#include "app/JpegImage.h"
#include "app/Links.h"
#include "app/Segmo.h"
#include "app/SelectionLoudness.h"
#include "app/StatusLine.h"
#include "app/Texts.h"
#include "app/Widgets.h"
#include "app/jobs/TargetFile.h"
#include "audio/ACS_LAME.h"
#include "audio/ACS_Wave.h"
#include "audio/ACS_WinMedia.h"
#include "audio/mp3/MP3LosslessOut.h"
#include "audio/ACS_smpeg.h"
#include "audio/classes/MainThread.h"
#include "controls/Tracker2.h"
#include "controls/WaveformView.h"
#include "app/WaveformPeaks.h"
#include "platform/Desktop.h"

namespace {

void OpenPage(const char* url) { desktop::OpenUrl(url); }

}  // namespace

TfrmMain::TfrmMain(QWidget* parent) : QWidget(parent) {
  setObjectName("frmMain");
  setWindowTitle(Texts::kProgramTitle);
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
  // The designed layout is the least room it needs; more goes to the waveform.
  setMinimumSize(kClientWidth, kClientHeight);
  resize(kClientWidth, kClientHeight);
  setWindowIcon(QPixmap::fromImage(LoadJpeg(":/pictures/icon.jpg")));

  CreateBanner();
  CreateFileGroup();
  CreatePreviewGroup();
  CreateCutGroup();
  CreateWindowButtons();
  ConnectCut();
  ConnectPreview();
  AnchorChildren();
  setAcceptDrops(true);
  FormCreate();
  // A handler that fails on the window thread says so, in whichever window is in front.
  MainThread::SetFailureReporter([this](const std::string& message) {
    QWidget* owner = QApplication::activeWindow();
    Dialogs::Current().Information(owner ? owner : this, QString::fromStdString(message));
  });

  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

TfrmMain::~TfrmMain() {
  MainThread::SetFailureReporter(nullptr);
  loudness_.reset();  // a measure still running stops
  // The outputs stop their runs, then the cut's temporary file goes.
}

void TfrmMain::CreateBanner() {
  imgTitle = Place(new QLabel(this), "imgTitle", QRect(0, 0, kClientWidth, 50));
  imgTitle->setScaledContents(true);
  imgTitle->setPixmap(QPixmap::fromImage(LoadJpeg(":/pictures/banner.jpg")));

  Image1 = Place(new ClickLabel(this), "Image1", QRect(6, 5, 40, 40));
  Image1->setScaledContents(true);
  Image1->setPixmap(QPixmap::fromImage(LoadJpeg(":/pictures/icon.jpg")));
  Image1->OnClick = [] { OpenPage(Links::kHomePage); };

  lTitle = Place(new ClickLabel(this), "lTitle", QRect(54, 6, 200, 18));
  lTitle->setText(Texts::kMakerAddress);
  QFont bold = lTitle->font();
  bold.setBold(true);
  lTitle->setFont(bold);
  lTitle->SetLinkColours(Qt::white, Qt::white);
  lTitle->OnClick = [] { OpenPage(Links::kMakerSite); };

  lSubtitle = Place(new QLabel(Texts::kSubtitle, this), "lSubtitle", QRect(54, 26, 260, 18));
  QPalette white = lSubtitle->palette();
  white.setColor(QPalette::WindowText, Qt::white);
  lSubtitle->setPalette(white);

  lUpdate = Place(new ClickLabel(this), "lUpdate", QRect(0, 17, 0, 18));
  lUpdate->setText(Texts::kCheckForUpdates);
  lUpdate->adjustSize();
  lUpdate->OnClick = [] { OpenPage(Links::kUpdateCheck); };

  iUpdate = Place(new QLabel(this), "iUpdate", QRect(0, 18, 16, 16));
  iUpdate->setPixmap(QPixmap::fromImage(LoadJpeg(":/pictures/update.jpg")));

  // The texts sit on a dark plate: over the bright waves of the artwork they
  // were hard to read.
  for (QLabel* text : {static_cast<QLabel*>(lTitle), lSubtitle, static_cast<QLabel*>(lUpdate)}) {
    text->setStyleSheet("background-color: rgba(10, 30, 60, 170); border-radius: 3px; padding: 0px 3px;");
    text->adjustSize();
  }
  lUpdate->move(kClientWidth - lUpdate->width() - 10, lUpdate->y());
  iUpdate->move(lUpdate->x() - 20, iUpdate->y());
}

void TfrmMain::CreateFileGroup() {
  auto* group = Place(new QGroupBox(this), "gbFile", QRect(6, 54, 501, 40));
  bOpen = MakeButton(group, "bOpen", "&Open File", QRect(8, 8, 90, 25));
  eOpenFile = Place(new QLineEdit(group), "eOpenFile", QRect(104, 10, 387, 21));
  eOpenFile->setReadOnly(true);

  wvAudio = Place(new TWaveformView(this), "wvAudio", kWaveRect);
  retiredPeaks_ = new RetiredPeaks(this);
  wvAudio->OnSelectionChange = [this](int64_t start, int64_t end) { SetSelectionFrames(start, end); };

  tbAudio = Place(new TTrackBar2(this), "tbAudio", kTrackBarRect);
  tbAudio->SetOrientation(toHorizontal);
  tbAudio->SetThumbSize(12);
  tbAudio->SetSecondThumb(true);
  tbAudio->SetMax(50);
  tbAudio->SetPositionU(50);
  tbAudio->SetTickSize(2);
  tbAudio->SetTickColor(Qt::black);
  tbAudio->SetTrackCenterColor(QColor(0, 128, 0));
  tbAudio->setCursor(Qt::PointingHandCursor);
}

void TfrmMain::CreatePreviewGroup() {
  auto* group = Place(new QGroupBox(this), "gbPreview", QRect(6, 262, 244, 136));
  aPlay = MakeAction(this, "aPlay", "&Play", true);
  aPause = MakeAction(this, "aPause", "P&ause", false);
  aStop = MakeAction(this, "aStop", "&Stop", false);
  aMarkStart = MakeAction(this, "aMarkStart", "&Mark Start", false);
  aMarkEnd = MakeAction(this, "aMarkEnd", "Mark &End", false);
  aPlaySelection = MakeAction(this, "aPlaySelection", "P&lay Selection", false);

  MakeActionButton(group, "bPlay", aPlay, QRect(10, 12, 108, 27));
  MakeActionButton(group, "bPause", aPause, QRect(10, 44, 108, 27));
  MakeActionButton(group, "bStop", aStop, QRect(10, 76, 108, 27));
  MakeActionButton(group, "bMarkStart", aMarkStart, QRect(126, 12, 108, 27));
  MakeActionButton(group, "bMarkEnd", aMarkEnd, QRect(126, 44, 108, 27));
  MakeActionButton(group, "bPlaySelection", aPlaySelection, QRect(126, 76, 108, 27));
  aPlayPause = MakeAction(this, "aPlayPause", "Play/Pause", false);
  aHearStart = MakeAction(this, "aHearStart", "Hear Start", false);
  aHearEnd = MakeAction(this, "aHearEnd", "Hear End", false);
  aHearStart->setToolTip("Play the two seconds around the start ([)");
  aHearEnd->setToolTip("Play the two seconds around the end (])");
  aPlayPause->setShortcut(Qt::Key_Space);
  aMarkStart->setShortcut(Qt::Key_I);
  aMarkEnd->setShortcut(Qt::Key_O);
  aHearStart->setShortcut(Qt::Key_BracketLeft);
  aHearEnd->setShortcut(Qt::Key_BracketRight);
  for (QAction* keyed : {aPlayPause, aMarkStart, aMarkEnd, aHearStart, aHearEnd}) addAction(keyed);
  for (auto [name, action, x] : {std::tuple{"bHearStart", aHearStart, 126}, std::tuple{"bHearEnd", aHearEnd, 181}}) {
    QPushButton* hear = MakeActionButton(group, name, action, QRect(x, 106, 53, 24));
    hear->setToolTip(action->toolTip());
    // Two to a column: a smaller face keeps the caption whole.
    QFont small = hear->font();
    small.setPointSizeF(small.pointSizeF() * 0.8);
    hear->setFont(small);
  }
  // Where the cursor is, to the millisecond.
  lPlayPosition = Place(new QLabel(group), "lPlayPosition", QRect(10, 108, 108, 20));
  lPlayPosition->setAlignment(Qt::AlignCenter);
}

void TfrmMain::CreateCutGroup() {
  auto* group = Place(new QGroupBox(this), "gbCut", QRect(256, 262, 251, 136));
  Label1 = Place(new QLabel("Splitted File Size: ", group), "Label1", QRect(12, 12, 120, 20));
  lFileTime = Place(new QLabel(Texts::kInitialTime, group), "lFileTime", QRect(132, 12, 100, 20));

  eStart = Place(new QLineEdit(Texts::kInitialTime, group), "eStart", QRect(12, 42, 96, 23));
  eStart->setMaxLength(12);  // hh:mm:ss.ttt
  eStart->setToolTip("Start Time");
  Place(new QLabel("---", group), "lDash", QRect(114, 44, 24, 20));
  eEnd = Place(new QLineEdit(Texts::kInitialTime, group), "eEnd", QRect(142, 42, 96, 23));
  eEnd->setMaxLength(12);
  eEnd->setToolTip("End Time");

  // Off by default; for MP3 sources only (see ConnectCut).
  cbKeepQuality =
      Place(new QCheckBox("&Keep MP3 quality (no re-encoding)", group), "cbKeepQuality", QRect(12, 74, 232, 20));
  cbKeepQuality->setToolTip("Copy the MP3 frames of the selection, exact to the sample, instead of encoding it again");
  cbKeepQuality->setEnabled(false);
  bStartCut = MakeButton(group, "bStartCut", "Start &Cut", QRect(70, 100, 110, 27));
  // The fades at the two ends of what Start Cut saves, either side of it.
  const auto fade = [group](const char* name, const char* ramp, const char* tip, int x) {
    auto* box = Place(new QSpinBox(group), name, QRect(x, 101, 56, 25));
    box->setRange(0, 9999);
    box->setSingleStep(50);
    box->setPrefix(ramp);
    box->setButtonSymbols(QAbstractSpinBox::NoButtons);  // the wheel and the arrow keys step it
    box->setAlignment(Qt::AlignRight);
    box->setToolTip(tip);
    box->setAccessibleName(tip);
    return box;
  };
  sbFadeIn = fade("sbFadeIn", "\u25E2 ", "Fade in over this many milliseconds at the start (0: none)", 10);
  sbFadeOut = fade("sbFadeOut", "\u25E3 ", "Fade out over this many milliseconds at the end (0: none)", 185);
}

void TfrmMain::CreateWindowButtons() {
  lStatus = Place(new StatusLine(this), "lStatus", QRect(8, 414, 176, 20));
  bSegmo = MakeButton(this, "bSegmo", "&Segment Cut", QRect(189, 410, 100, 27));
  bSegmo->setToolTip("Cut off many useless data segment just one time");
  connect(bSegmo, &QPushButton::clicked, this, [this] { bSegmoClick(); });

  bJoiner = MakeButton(this, "bJoiner", "&Joiner && Mixer", QRect(297, 410, 100, 27));
  bJoiner->setToolTip("Merge or mix two audio files");
  connect(bJoiner, &QPushButton::clicked, this, [this] { bJoinerClick(); });

  bAbout = MakeButton(this, "bAbout", "Mo&re", QRect(405, 410, 100, 27));
  connect(bAbout, &QPushButton::clicked, this, [this] { bAboutClick(); });

  pmAbout = new QMenu(this);
  pmAbout->setObjectName("pmAbout");
  pmAbout->addAction("&Homepage", this, [] { OpenPage(Links::kHomePage); })->setObjectName("miHomepage");
  pmAbout->addSeparator();
  pmAbout->addAction("&Donate", this, [] { OpenPage(Links::kDonation); })->setObjectName("miDonate");
  pmAbout->addSeparator();
  pmAbout->addAction("&About...", this, [this] { miAboutClick(); })->setObjectName("miAbout");
  pmAbout->addAction("&Keys...", this, [this] { Dialogs::Current().Information(this, Texts::kKeys); })
      ->setObjectName("miKeys");
  pmAbout->addAction("&Loudness of the Selection", this, [this] { MeasureSelectionLoudness(); })
      ->setObjectName("miLoudness");
  pmAbout->addSeparator();
  pmAbout->addAction("&Exit", this, [this] { close(); })->setObjectName("miExit");
}

void TfrmMain::AnchorChildren() {
  anchors_ = std::make_unique<Anchors>(QSize(kClientWidth, kClientHeight));
  anchors_->Add(imgTitle, Anchors::kGrowWidth);
  for (QWidget* corner : {static_cast<QWidget*>(lUpdate), static_cast<QWidget*>(iUpdate)})
    anchors_->Add(corner, Anchors::kMoveRight);
  anchors_->Add(findChild<QWidget*>("gbFile"), Anchors::kGrowWidth);
  anchors_->Add(eOpenFile, Anchors::kGrowWidth);
  anchors_->Add(wvAudio, Anchors::kGrowWidth | Anchors::kGrowHeight);
  anchors_->Add(tbAudio, Anchors::kGrowWidth | Anchors::kMoveDown);
  anchors_->Add(findChild<QWidget*>("gbPreview"), Anchors::kMoveDown);
  anchors_->Add(findChild<QWidget*>("gbCut"), Anchors::kMoveDown);
  for (QWidget* button : {bSegmo, bJoiner, bAbout}) anchors_->Add(button, Anchors::kMoveDown | Anchors::kMoveRight);
  anchors_->Add(lStatus, Anchors::kMoveDown | Anchors::kGrowWidth);
}

void TfrmMain::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (anchors_) anchors_->Apply(size());
}

void TfrmMain::FormCreate() { lUpdate->SetLinkColours(Qt::white, Qt::red); }

void TfrmMain::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TfrmMain::FormShow() {
  SelectionPlay = false;
  bOpen->setFocus();
  while (QApplication::overrideCursor() != nullptr) QApplication::restoreOverrideCursor();
}

void TfrmMain::WMWakeUp(const QString& file) {
  show();
  if (isMinimized()) setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  raise();
  activateWindow();
  if (!file.isEmpty()) OpenFile(file);
}

void TfrmMain::ShowSecondary(QDialog& window) {
  Dialogs::Current().ShowModal(window);
  tbAudio->update();
}

void TfrmMain::bSegmoClick() {
  TfrmSegmo window(this);
  // It starts with the file open here, if it is still there.
  std::error_code error;
  if (!eOpenFile->text().isEmpty() && std::filesystem::exists(eOpenFile->text().toStdString(), error))
    window.OpenFile(eOpenFile->text());
  ShowSecondary(window);
}

void TfrmMain::bJoinerClick() {
  TfrmJoiner window(this);
  ShowSecondary(window);
}

void TfrmMain::bAboutClick() { pmAbout->popup(QCursor::pos()); }

void TfrmMain::miAboutClick() {
  TfrmAbout window(this);
  ShowSecondary(window);
}
