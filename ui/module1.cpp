#include "module1.h"

#include <QDesktopServices>
#include <QUrl>

namespace slimtag {

bool OpenWithShell(const QString& address) {
  // Tolerant: the mail links carry a blank in their subject, which the desktop gets escaped.
  return QDesktopServices::openUrl(QUrl(address, QUrl::TolerantMode));
}

}  // namespace slimtag
