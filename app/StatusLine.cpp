#include "app/StatusLine.h"

#include <QApplication>
#include <QFileInfo>
#include <QFontMetrics>
#include <algorithm>
#include <cmath>

#include "app/Notifier.h"
#include "app/jobs/Global.h"
#include "app/jobs/Job.h"
#include "audio/ACS_Classes.h"
#include "audio/formats/FormatRegistry.h"

namespace {

/// The length of a saved file as its format's input counts it; empty when it cannot be read.
QString LengthOf(const std::string& file) {
  try {
    const std::unique_ptr<TAuFileIn> input = OpenSource(file, &FormatEntry::newInput);
    if (input->SampleRate() <= 0) return {};
    const auto ms = std::llround(static_cast<double>(input->TotalSamples()) * 1000.0 / input->SampleRate());
    return QString::fromStdString(MsToMillisecondText(static_cast<int32_t>(std::min<long long>(ms, INT32_MAX))));
  } catch (const std::exception&) {
    return {};
  }
}

}  // namespace

StatusLine::StatusLine(QWidget* parent) : QLabel(parent) {
  setObjectName("lStatus");
  QFont small = font();
  small.setPointSizeF(small.pointSizeF() * 0.9);
  setFont(small);
}

void StatusLine::ShowSaved(const std::string& target) {
  const QString saved = "Saved " + QFileInfo(QString::fromStdString(target)).fileName();
  const unsigned generation = ++generation_;
  SetLine(saved);
  // Opening the result may mean walking a long file's frames: not on the window's thread.
  reader_.Run([this, target, saved, generation]() -> std::function<void()> {
    const QString length = LengthOf(target);
    return [this, saved, length, generation] {
      if (!closing_ && generation_ == generation) Tell(length.isEmpty() ? saved : saved + ", " + length);
    };
  });
}

StatusLine::~StatusLine() {
  closing_ = true;
  reader_.Finish();
}

void StatusLine::ShowText(const QString& text) {
  ++generation_;
  Tell(text);
}

void StatusLine::Tell(const QString& text) {
  SetLine(text);
  if (!window()->isActiveWindow()) Notifier::Current().Notify(window()->windowTitle(), text);
}

void StatusLine::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  SetLine(full_);
}

void StatusLine::SetLine(const QString& text) {
  full_ = text;
  // A wrapping line has room for as many widths as it has lines.
  const int lines = wordWrap() ? std::max(1, height() / std::max(fontMetrics().lineSpacing(), 1)) : 1;
  const QString shown = fontMetrics().elidedText(text, Qt::ElideMiddle, width() * lines - (lines - 1) * 20);
  setText(shown);
  setToolTip(shown == text ? QString() : text);
}
