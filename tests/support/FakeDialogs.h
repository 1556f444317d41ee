#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <functional>

#include "app/Dialogs.h"

/// Scripted answers for the Dialogs seam; installs itself while it lives.
class FakeDialogs : public Dialogs {
 public:
  FakeDialogs() { Dialogs::Install(this); }
  ~FakeDialogs() override { Dialogs::Install(nullptr); }

  void Information(QWidget*, const QString& text) override { messages << text; }
  bool AskYesNo(QWidget*, const QString& text) override {
    messages << text;
    return answerYes;
  }
  QString OpenFileName(QWidget*, const QString&, const FileFilter& filter) override {
    lastFilter = filter;
    return openAnswer;
  }
  QString SaveFileName(QWidget*, const QString& title, const FileFilter& filter, const QString& suffix,
                       const QString& proposed, const QString& folder) override {
    lastTitle = title;
    lastFolder = folder;
    lastFilter = filter;
    lastSuffix = suffix;
    lastProposed = proposed;
    return saveAnswer;
  }
  QString FolderName(QWidget*, const QString&, const QString& folder) override {
    lastFolder = folder;
    return folderAnswer;
  }
  QString AskText(QWidget*, const QString& label, const QString& proposed) override {
    messages << label;
    lastProposed = proposed;
    return textAnswer.isNull() ? proposed : textAnswer;
  }
  int ShowModal(QDialog& dialog) override {
    shownModal << dialog.windowTitle();
    if (onModal) onModal(dialog);
    return QDialog::Rejected;
  }

  QStringList messages;
  bool answerYes = true;
  QString openAnswer;
  QString saveAnswer;
  QString folderAnswer;
  QString textAnswer;  // null: take what is proposed
  QString lastTitle, lastSuffix, lastProposed, lastFolder;
  FileFilter lastFilter;
  QStringList shownModal;
  /// Called with each modal window instead of running its event loop.
  std::function<void(QDialog&)> onModal;
};
