#include "app/Dialogs.h"

#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>

#include "app/Texts.h"
#include "audio/formats/FormatRegistry.h"

namespace {

/// As Qt writes a filter: "Name (*.a *.A *.b *.B)". Both cases of each
/// pattern, since extensions count whatever their case.
QString QtFilter(const FileFilter& filter) {
  QStringList patterns;
  for (const QString& pattern : filter.patterns) {
    patterns << pattern;
    if (pattern.toUpper() != pattern) patterns << pattern.toUpper();
  }
  return QString("%1 (%2)").arg(filter.name, patterns.join(' '));
}

}  // namespace

FileFilter SoundFilesFilter() {
  FileFilter filter{"Sound Files", {}};
  for (const std::string& pattern : SoundFilePatterns()) filter.patterns << QString::fromStdString(pattern);
  return filter;
}

FileFilter SoundFilesFilter(const QString& extension) { return {"Sound Files", {"*" + extension}}; }

namespace {

class QtDialogs : public Dialogs {
 public:
  void Information(QWidget* owner, const QString& text) override {
    QMessageBox::information(owner, Texts::kProgramTitle, text);
  }

  bool AskYesNo(QWidget* owner, const QString& text) override {
    QMessageBox box(QMessageBox::Information, Texts::kProgramTitle, text, QMessageBox::Yes | QMessageBox::No, owner);
    return box.exec() == QMessageBox::Yes;
  }

  QString OpenFileName(QWidget* owner, const QString& title, const FileFilter& filter) override {
    return QFileDialog::getOpenFileName(owner, title, QString(), QtFilter(filter));
  }

  QString SaveFileName(QWidget* owner, const QString& title, const FileFilter& filter, const QString& defaultSuffix,
                       const QString& proposedName, const QString& folder) override {
    QFileDialog dialog(owner, title, folder, QtFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(defaultSuffix);
    dialog.selectFile(proposedName);
    // The caller asks before overwriting, in its own words.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().first();
  }

  QString FolderName(QWidget* owner, const QString& title, const QString& folder) override {
    return QFileDialog::getExistingDirectory(owner, title, folder);
  }

  QString AskText(QWidget* owner, const QString& label, const QString& proposed) override {
    bool ok = false;
    const QString text = QInputDialog::getText(owner, Texts::kProgramTitle, label, QLineEdit::Normal, proposed, &ok);
    return ok ? text : QString();
  }

  int ShowModal(QDialog& dialog) override { return dialog.exec(); }
};

QtDialogs realDialogs;
Dialogs* installed = nullptr;

}  // namespace

Dialogs& Dialogs::Current() { return installed != nullptr ? *installed : realDialogs; }

void Dialogs::Install(Dialogs* dialogs) { installed = dialogs; }
