// Opening web pages needs Qt Gui, which only the windows link.
#include <QDesktopServices>
#include <QString>
#include <QUrl>

#include "platform/shell.h"

namespace Shell {

void OpenUrl(const std::string& url) { QDesktopServices::openUrl(QUrl(QString::fromStdString(url))); }

}  // namespace Shell
