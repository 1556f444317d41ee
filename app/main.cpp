#include <QApplication>

#include "app/Main.h"
#include "app/SingleInstance.h"
#include "app/Texts.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(Texts::kProgramTitle);

  SingleInstance instance(SingleInstance::SocketName(Texts::kWindowClassName));
  if (instance.NotifyRunning()) return 0;

  TfrmMain frmMain;
  instance.Listen([&frmMain] { frmMain.WMWakeUp(); });
  frmMain.show();
  return QApplication::exec();
}
