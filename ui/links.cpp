#include "links.h"

#include "slimtag_version.h"

namespace slimtag {

QString MailLink(const QString& mailbox) {
  return QStringLiteral("mailto:%1?Subject=Slimtag v%2.%3.%4")
      .arg(mailbox)
      .arg(kVersionMajor)
      .arg(kVersionMinor)
      .arg(kVersionRevision);
}

}  // namespace slimtag
