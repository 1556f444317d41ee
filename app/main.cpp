#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QThreadPool>

#include "app/Main.h"
#include "app/SingleInstance.h"
#include "app/Texts.h"
#include "audio/formats/FormatRegistry.h"
#include "platform/Decoder.h"
#include "platform/Memory.h"

int main(int argc, char* argv[]) {
  BoundLargeAllocations();
  QApplication app(argc, argv);
  QApplication::setApplicationName(Texts::kProgramTitle);
  QApplication::setApplicationVersion(CLIPWRIGHT_VERSION);

  // `clipwright FILE` opens the file, here or in the copy already running.
  QCommandLineParser parser;
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addPositionalArgument("file", QString::fromStdString("A sound file to open: " + FormatNames() + "."), "[file]");
  parser.process(app);
  const QStringList files = parser.positionalArguments();
  const QString file = files.isEmpty() ? QString() : QFileInfo(files.first()).absoluteFilePath();

  SingleInstance instance(SingleInstance::SocketName(Texts::kWindowClassName));
  if (instance.NotifyRunning(file)) return 0;

  // While the window comes up and the user picks a file: no open waits for them.
  QThreadPool::globalInstance()->start([] { media::PreloadDecoderLibraries(); });
  TfrmMain frmMain;
  instance.Listen([&frmMain](const QString& sent) { frmMain.WMWakeUp(sent); });
  frmMain.show();
  if (!file.isEmpty()) frmMain.OpenFile(file);
  return QApplication::exec();
}
