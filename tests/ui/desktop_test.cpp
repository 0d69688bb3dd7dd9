#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <memory>

#include "qt_translation.h"
#include "window_fixture.h"

namespace slimtag {
namespace {

// The texts of a context menu's entries without their mnemonics and shortcuts.
QStringList EntryTexts(const QMenu& menu) {
  QStringList texts;
  for (const QAction* action : menu.actions()) {
    if (action->isSeparator()) continue;
    texts << action->text().section(QLatin1Char('\t'), 0, 0).remove(QLatin1Char('&'));
  }
  return texts;
}

using DesktopTest = WindowTest;

// Qt's own widgets speak Russian with the rest of the window, whatever the locale.
TEST_F(DesktopTest, ATextFieldsContextMenuIsRussian) {
  ASSERT_EQ(InstallQtRussian(*QCoreApplication::instance()), QString());
  Start();
  auto* field = Find<QLineEdit>("Text1");
  ASSERT_NE(field, nullptr);
  field->setEnabled(true);
  field->setText(QStringLiteral("<font>"));
  field->selectAll();
  const std::unique_ptr<QMenu> menu(field->createStandardContextMenu());
  const QStringList texts = EntryTexts(*menu);
  EXPECT_TRUE(texts.contains(QStringLiteral("Копировать"))) << texts.join('|').toStdString();
  EXPECT_TRUE(texts.contains(QStringLiteral("Вырезать"))) << texts.join('|').toStdString();
  EXPECT_FALSE(texts.contains(QStringLiteral("Copy"))) << texts.join('|').toStdString();
}

TEST(QtRussianTest, MissingTextsAreReportedWithTheirFile) {
  QTemporaryDir empty;
  ASSERT_TRUE(empty.isValid());
  const QString file = QDir(empty.path()).filePath(QStringLiteral("qtbase_ru.qm"));
  EXPECT_EQ(InstallQtRussian(*QCoreApplication::instance(), empty.path()),
            QStringLiteral("не удалось загрузить русский перевод Qt «%1»: файла нет (его ставит "
                           "пакет qt6-translations-l10n); стандартные меню окна останутся "
                           "английскими.")
                .arg(file));
  WriteFile(file, "not a catalogue");
  EXPECT_TRUE(InstallQtRussian(*QCoreApplication::instance(), empty.path())
                  .contains(QStringLiteral("«%1»: файл повреждён").arg(file)));
}

// Every hicolor size of the program icon is drawn at its size; the window offers three of them.
TEST_F(DesktopTest, TheProgramIconComesInEveryHicolorSize) {
  for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
    const QString file =
        QStringLiteral(SLIMTAG_SHARE_DIR "/icons/hicolor/%1x%1/apps/slimtag.png").arg(size);
    const QImage icon(file);
    ASSERT_FALSE(icon.isNull()) << file.toStdString();
    EXPECT_EQ(icon.size(), QSize(size, size)) << file.toStdString();
    EXPECT_TRUE(icon.hasAlphaChannel()) << file.toStdString();
  }
  Start();
  const QList<QSize> offered = window_->windowIcon().availableSizes();
  EXPECT_EQ(offered, (QList<QSize>{{16, 16}, {32, 32}, {48, 48}}));
}

}  // namespace
}  // namespace slimtag
