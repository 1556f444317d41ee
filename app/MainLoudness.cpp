// The main window's "Loudness of the Selection": measured on a thread of its
// own, told in a message when done.
#include "app/Main.h"

#include <QLineEdit>

#include "app/Dialogs.h"
#include "app/SelectionLoudness.h"
#include "app/StatusLine.h"
#include "app/Texts.h"
#include "app/jobs/Global.h"
#include "app/jobs/TimeRange.h"

void TfrmMain::MeasureSelectionLoudness() {
  const std::string source = eOpenFile->text().toStdString();
  if (source.empty() || fileRate_ <= 0) return Dialogs::Current().Information(this, Texts::kOpenFirst);
  if (!loudness_) loudness_ = std::make_unique<SelectionLoudness>();
  if (loudness_->Running()) return;
  const FrameRange range = SelectedFrames(fileRate_);
  const QString what = QString::fromStdString(MsToMillisecondText(selStartMs_) + " - " + MsToMillisecondText(selEndMs_));
  lStatus->ShowText("Measuring the loudness of " + what + " ...");
  loudness_->Measure(source, range.startSample, range.endSample < 0 ? -1 : range.endSample + 1,
                     [this, what](const media::LoudnessFigures& figures, const std::string& failure) {
                       lStatus->ShowText(QString());
                       if (!failure.empty()) return Dialogs::Current().Information(this, QString::fromStdString(failure));
                       Dialogs::Current().Information(
                           this, "Loudness of " + what + " (EBU R128):\n" + QString::fromStdString(LoudnessText(figures)));
                     });
}
