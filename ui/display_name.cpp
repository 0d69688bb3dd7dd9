#include "display_name.h"

#include <QStringDecoder>

namespace slimtag {

QString DisplayName(const QByteArray& name) {
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString shown = utf8(name);
  if (!utf8.hasError()) return shown;
  // Qt reaches windows-1251 through ICU; a Qt built without it keeps the replacement marks.
  QStringDecoder windows1251("windows-1251", QStringDecoder::Flag::Stateless);
  return windows1251.isValid() ? windows1251(name) : shown;
}

}  // namespace slimtag
