#pragma once

#include <QString>
#include <QStringList>

class QDialog;
class QWidget;

/// The files a file dialog offers: a name and the patterns ("*.mp3") it
/// stands for, in any letter case.
struct FileFilter {
  QString name;
  QStringList patterns;

  bool operator==(const FileFilter&) const = default;
};

/// "Sound Files": every format the program reads.
FileFilter SoundFilesFilter();
/// "Sound Files" of one extension (".mp3", its letter case kept): what a result is saved as.
FileFilter SoundFilesFilter(const QString& extension);

/// The one way the windows show message boxes, file dialogs and modal
/// windows, so that tests can answer them.
class Dialogs {
 public:
  virtual ~Dialogs() = default;

  /// An information box captioned with the program title, with an OK button.
  virtual void Information(QWidget* owner, const QString& text) = 0;
  /// An information box with Yes and No buttons; true for Yes.
  virtual bool AskYesNo(QWidget* owner, const QString& text) = 0;
  /// The chosen file name, empty when cancelled.
  virtual QString OpenFileName(QWidget* owner, const QString& title, const FileFilter& filter) = 0;
  /// The chosen file name, empty when cancelled. The dialog opens in
  /// `folder` (the source's, so the result lands beside it).
  virtual QString SaveFileName(QWidget* owner, const QString& title, const FileFilter& filter,
                               const QString& defaultSuffix, const QString& proposedName, const QString& folder) = 0;
  /// The chosen folder, empty when cancelled; the dialog opens in `folder`.
  virtual QString FolderName(QWidget* owner, const QString& title, const QString& folder) = 0;
  /// A line of text the user typed, starting from `proposed`; empty when cancelled.
  virtual QString AskText(QWidget* owner, const QString& label, const QString& proposed) = 0;
  /// Shows a window modally and returns its result.
  virtual int ShowModal(QDialog& dialog) = 0;

  /// The dialogs in use: the real ones unless a test installed its own.
  static Dialogs& Current();
  /// Installs replacement dialogs (nullptr restores the real ones); not owned.
  static void Install(Dialogs* dialogs);
};
