#include <QCoreApplication>

#include "cli/Cli.h"
#include "platform/Memory.h"

int main(int argc, char** argv) {
  BoundLargeAllocations();
  QCoreApplication app(argc, argv);
  return RunCli(argc, argv);
}
