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

namespace {

/// `clipwright FILE` opens the file, here or in the copy already running.
void ReadCommandLine(QCommandLineParser& parser, const QCoreApplication& app) {
  QCoreApplication::setApplicationName(Texts::kProgramTitle);
  QCoreApplication::setApplicationVersion(CLIPWRIGHT_VERSION);
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addPositionalArgument("file", QString::fromStdString("A sound file to open: " + FormatNames() + "."), "[file]");
  parser.process(app);  // --help, --version and a wrong option print and end here
}

/// The line asks for a text only (help, version): no display is needed for it.
bool AsksForTextOnly(int argc, char* argv[]) {
  for (int i = 1; i < argc; ++i) {
    const QByteArray word(argv[i]);
    if (word == "--") break;
    if (word == "-h" || word == "--help" || word == "-?" || word == "--help-all" || word == "-v" || word == "--version")
      return true;
  }
  return false;
}

}  // namespace

int main(int argc, char* argv[]) {
  BoundLargeAllocations();
  if (AsksForTextOnly(argc, argv)) {
    QCoreApplication core(argc, argv);
    QCommandLineParser parser;
    ReadCommandLine(parser, core);
    return 0;
  }
  QApplication app(argc, argv);
  QCommandLineParser parser;
  ReadCommandLine(parser, app);
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
