// Opening web pages needs Qt Gui, which only the windows link.
#include <QDesktopServices>
#include <QString>
#include <QUrl>

#include "platform/Desktop.h"

namespace desktop {

void OpenUrl(const std::string& url) { QDesktopServices::openUrl(QUrl(QString::fromStdString(url))); }

}  // namespace desktop
