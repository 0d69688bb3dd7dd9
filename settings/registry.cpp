#include "registry.h"

#include <QSettings>
#include <QStringList>
#include <QVariant>
#include <limits>
#include <memory>
#include <optional>

namespace slimtag {

namespace {

std::optional<std::int32_t> InRange(qlonglong n) {
  if (n < std::numeric_limits<std::int32_t>::min() || n > std::numeric_limits<std::int32_t>::max())
    return std::nullopt;
  return static_cast<std::int32_t>(n);
}

#ifdef Q_OS_WIN

std::unique_ptr<QSettings> OpenKey(RegistryRoot, const QString& key_path) {
  QString path = key_path;
  while (path.endsWith(QLatin1Char('\\'))) path.chop(1);
  return std::make_unique<QSettings>(QStringLiteral("HKEY_CURRENT_USER\\") + path,
                                     QSettings::NativeFormat);
}

// The registry keeps types: only a REG_DWORD, which Qt hands back as a 32-bit number, counts.
std::optional<std::int32_t> AsDword(const QVariant& value) {
  switch (value.typeId()) {
    case QMetaType::Int:
      return value.toInt();
    case QMetaType::UInt:
      return static_cast<std::int32_t>(value.toUInt());
    default:
      return std::nullopt;
  }
}

#else

// "Software\<organisation>\<application>\" names the per-user store of that application.
std::unique_ptr<QSettings> OpenKey(RegistryRoot, const QString& key_path) {
  QStringList parts = key_path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
  if (!parts.isEmpty() &&
      parts.front().compare(QLatin1String("Software"), Qt::CaseInsensitive) == 0)
    parts.pop_front();
  if (parts.size() < 2) return nullptr;
  const QString organisation = parts.takeFirst();
  auto settings = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                              organisation, parts.join(QLatin1Char('/')));
  // One key, as the registry has it: no organisation-wide or system-wide values mixed in.
  settings->setFallbacksEnabled(false);
  return settings;
}

// A value written in this process is still the number in Qt's cache; after a restart the file
// store hands back its text.
std::optional<std::int32_t> AsDword(const QVariant& value) {
  switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
      if (value.typeId() == QMetaType::ULongLong &&
          value.toULongLong() > static_cast<qulonglong>(std::numeric_limits<qlonglong>::max()))
        return std::nullopt;
      return InRange(value.toLongLong());
    case QMetaType::QString: {
      const QString text = value.toString();
      const qsizetype first = text.startsWith(QLatin1Char('-')) ? 1 : 0;
      if (text.size() == first) return std::nullopt;
      for (qsizetype i = first; i < text.size(); ++i) {
        if (text[i] < QLatin1Char('0') || text[i] > QLatin1Char('9')) return std::nullopt;
      }
      bool ok = false;
      const qlonglong n = text.toLongLong(&ok);
      if (!ok) return std::nullopt;
      return InRange(n);
    }
    default:
      return std::nullopt;
  }
}

#endif

}  // namespace

QString BoxValueName(int box) {
  return QStringLiteral("st") + QString::number(box);
}

std::int32_t ReadDwordValue(RegistryRoot root, QString key_path, QString value_name) {
  const auto key = OpenKey(root, key_path);
  if (!key) return 0;
  return AsDword(key->value(value_name)).value_or(0);
}

void WriteDwordValue(RegistryRoot root, QString key_path, QString value_name, std::int32_t value) {
  const auto key = OpenKey(root, key_path);
  if (!key) return;
  key->setValue(value_name, static_cast<int>(value));
  key->sync();
}

}  // namespace slimtag
