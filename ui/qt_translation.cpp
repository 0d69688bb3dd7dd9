#include "qt_translation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTranslator>

namespace slimtag {

QString QtTranslationsFolder() {
  return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
}

QString InstallQtRussian(QCoreApplication& app, const QString& folder) {
  const QString file = QDir(folder).filePath(QStringLiteral("qtbase_ru.qm"));
  auto* translator = new QTranslator(&app);
  if (translator->load(file)) {
    QCoreApplication::installTranslator(translator);
    return {};
  }
  delete translator;
  const QFileInfo info(file);
  const QString reason = !info.exists() ? QStringLiteral(
                                              "файла нет (его ставит пакет "
                                              "qt6-translations-l10n)")
                         : !info.isReadable() ? QStringLiteral("нет прав на чтение файла")
                                              : QStringLiteral("файл повреждён");
  return QStringLiteral(
             "не удалось загрузить русский перевод Qt «%1»: %2; стандартные меню "
             "окна останутся английскими.")
      .arg(file, reason);
}

}  // namespace slimtag
