#include "app/Joiner.h"

#include <QApplication>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QStyle>
#include <filesystem>

#include "app/Dialogs.h"
#include "app/Texts.h"
#include "app/Widgets.h"
#include "app/jobs/JoinJob.h"
#include "app/jobs/TargetFile.h"
#include "audio/ACS_AudioMix.h"
#include "audio/ACS_LAME.h"
#include "audio/ACS_Wave.h"
#include "audio/ACS_WinMedia.h"
#include "audio/ACS_smpeg.h"

namespace {

namespace fs = std::filesystem;

}  // namespace

TfrmJoiner::TfrmJoiner(QWidget* parent) : QDialog(parent) {
  setObjectName("frmJoiner");
  setWindowTitle(Texts::kJoinerCaption);
  setFixedSize(kClientWidth, kClientHeight);

  Place(new QLabel("File1:", this), "lFile1", QRect(12, 20, 40, 21));
  eFile1 = Place(new QLineEdit(this), "eFile1", QRect(56, 18, 340, 25));
  eFile1->setReadOnly(true);
  bOpen1 = MakeButton(this, "bOpen1", "&Open File", QRect(408, 17, 100, 27));
  Place(new QLabel("File2:", this), "lFile2", QRect(12, 58, 40, 21));
  eFile2 = Place(new QLineEdit(this), "eFile2", QRect(56, 56, 340, 25));
  eFile2->setReadOnly(true);
  // Alt+O opens the first file, Alt+P the second.
  bOpen2 = MakeButton(this, "bOpen2", "O&pen File", QRect(408, 55, 100, 27));
  for (QPushButton* open : {bOpen1, bOpen2}) open->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));

  suiRadioGroup1 = Place(new QGroupBox(this), "suiRadioGroup1", QRect(12, 96, 384, 66));
  rbJoiner = Place(new QRadioButton("Joiner", suiRadioGroup1), "rbJoiner", QRect(16, 24, 160, 24));
  rbMixer = Place(new QRadioButton("Mixer", suiRadioGroup1), "rbMixer", QRect(200, 24, 160, 24));
  rbJoiner->setChecked(true);

  bStart = MakeButton(this, "bStart", "&Start", QRect(408, 100, 100, 27));
  suiButton2 = MakeButton(this, "suiButton2", "&Close", QRect(408, 135, 100, 27));
  connect(bOpen1, &QPushButton::clicked, this, [this] { bOpen1Click(); });
  connect(bOpen2, &QPushButton::clicked, this, [this] { bOpen2Click(); });
  connect(bStart, &QPushButton::clicked, this, [this] { bStartClick(); });
  connect(suiButton2, &QPushButton::clicked, this, [this] { suiButton2Click(); });

  WaveIn1 = NewWaveIn();
  WaveIn2 = NewWaveIn();
  MP3In1 = NewMp3In();
  MP3In2 = NewMp3In();
  WMIn1 = NewWmIn();
  WMIn2 = NewWmIn();
  AudioMixer1 = NewMixer();
  AudioMixer1->SetVolume1(0);  // both set to full volume at every start
  AudioMixer1->SetVolume2(0);
  WaveOut1 = NewWaveOut();
  MP3Out1 = NewMp3Out();
  WMAOut1 = NewWmaOut();
  WaveOut1->OnProgress = [this](TComponent*) { WaveOut1Progress(); };
  MP3Out1->OnProgress = [this](TComponent*) { MP3Out1Progress(); };
  WMAOut1->OnProgress = [this](TComponent*) { WMAOut1Progress(); };
  for (TAuOutput* output : {static_cast<TAuOutput*>(WaveOut1.get()), static_cast<TAuOutput*>(MP3Out1.get()),
                            static_cast<TAuOutput*>(WMAOut1.get())}) {
    output->SetInput(AudioMixer1.get());
    output->OnDone = [this, output](TComponent*) { WaveOut1Done(*output); };
    output->OnThreadException = [this, output](TComponent*) { failure_ = output->ExceptionMessage(); };
  }
  FormCreate();
}

TfrmJoiner::~TfrmJoiner() {
  // A run still going stops with its outputs, below; nothing is left to report it to.
  for (TAuOutput* output : {static_cast<TAuOutput*>(WaveOut1.get()), static_cast<TAuOutput*>(MP3Out1.get()),
                            static_cast<TAuOutput*>(WMAOut1.get())}) {
    output->OnDone = nullptr;
    output->OnProgress = nullptr;
    output->OnThreadException = nullptr;
  }
  if (waitCursor_) QApplication::restoreOverrideCursor();
}

void TfrmJoiner::FormCreate() { BaseCaption = windowTitle(); }

void TfrmJoiner::bOpen1Click() { ChooseFile(eFile1); }
void TfrmJoiner::bOpen2Click() { ChooseFile(eFile2); }

void TfrmJoiner::ChooseFile(QLineEdit* box) {
  const QString chosen = Dialogs::Current().OpenFileName(this, QString(), Texts::kSoundFilter);
  // The inputs take their files when a run starts: one may be running now.
  if (!chosen.isEmpty()) box->setText(chosen);
}

void TfrmJoiner::bStartClick() {
  const std::string file1 = eFile1->text().toStdString();
  const std::string file2 = eFile2->text().toStdString();
  if (const std::string refusal = CheckJoinFiles(file1, file2); !refusal.empty()) {
    Dialogs::Current().Information(this, QString::fromStdString(refusal));
    return;
  }
  if (FormatOfFile(file1) == AudioFormat::Unknown) {
    Dialogs::Current().Information(this, "Only MP3, WAV and WMA files can be joined or mixed: " + eFile1->text());
    return;
  }
  const QString ext = QFileInfo(eFile1->text()).suffix().toLower();
  const QString chosen = Dialogs::Current().SaveFileName(this, QString(), "Sound Files(*." + ext + ")|*." + ext, ext,
                                                         QString(), QFileInfo(eFile1->text()).absolutePath());
  if (chosen.isEmpty()) return;
  const std::string target = chosen.toStdString();
  if (IsSameFile(file1, target) || IsSameFile(file2, target)) {
    Dialogs::Current().Information(this, Texts::kSaveOverInput);
    return;
  }
  std::error_code error;
  if (fs::exists(target, error) && !Dialogs::Current().AskYesNo(this, chosen + Texts::kAskOverwrite)) return;

  QApplication::setOverrideCursor(Qt::WaitCursor);
  waitCursor_ = true;
  bStart->setEnabled(false);
  setWindowTitle(BaseCaption + Texts::kProcessing);
  if (!StartRun(target)) ShowIdle();
}

bool TfrmJoiner::StartRun(const std::string& target) {
  const AudioFormat format = FormatOfFile(eFile1->text().toStdString());
  const TAudioMixerMode mode = rbJoiner->isChecked() ? amConcatenate : amMix;
  TAuFileIn* input1 = nullptr;
  TAuFileIn* input2 = nullptr;
  TAuFileOut* output = nullptr;
  switch (format) {
    case AudioFormat::Wav: input1 = WaveIn1.get(), input2 = WaveIn2.get(), output = WaveOut1.get(); break;
    case AudioFormat::Mp3: input1 = MP3In1.get(), input2 = MP3In2.get(), output = MP3Out1.get(); break;
    case AudioFormat::Wma: input1 = WMIn1.get(), input2 = WMIn2.get(), output = WMAOut1.get(); break;
    default:
      return false;  // refused before the save dialog
  }
  try {
    for (auto [input, box] : {std::pair{input1, eFile1}, std::pair{input2, eFile2}}) input->SetFileName(box->text().toStdString());
    target_ = std::make_unique<TargetFile>(target);
    PrepareJoin(format, mode, *AudioMixer1, *input1, *input2, *output, target_->TemporaryName());
    failure_.clear();
    output->Run();
    return true;
  } catch (const std::exception& e) {
    target_.reset();
    Dialogs::Current().Information(this, QString::fromStdString(e.what()));
    return false;
  }
}

void TfrmJoiner::ShowProgress(int percent) {
  setWindowTitle(BaseCaption + Texts::kProcessing + QString::number(percent) + "%");
}

void TfrmJoiner::WaveOut1Progress() { ShowProgress(WaveOut1->Progress()); }
void TfrmJoiner::MP3Out1Progress() { ShowProgress(MP3Out1->Progress()); }
void TfrmJoiner::WMAOut1Progress() { ShowProgress(WMAOut1->Progress()); }

void TfrmJoiner::ShowIdle() {
  setWindowTitle(BaseCaption);
  bStart->setEnabled(true);
  if (waitCursor_) QApplication::restoreOverrideCursor();
  waitCursor_ = false;
}

void TfrmJoiner::WaveOut1Done(const TAuOutput& output) {
  ShowIdle();
  const std::string failure = FinishTarget(std::move(target_), output, std::move(failure_));
  failure_.clear();
  // A failed run leaves the old target as it was.
  if (!failure.empty()) Dialogs::Current().Information(this, QString::fromStdString(failure));
}

void TfrmJoiner::suiButton2Click() { close(); }
