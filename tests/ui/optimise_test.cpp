#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "option_box.h"
#include "window_fixture.h"

namespace slimtag {
namespace {

class OptimiseTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    ASSERT_TRUE(pages_.isValid());
  }
  QString Page(const char* name) const { return pages_.filePath(QString::fromUtf8(name)); }
  QString PagesFolder() const { return pages_.path(); }

  QTemporaryDir pages_;
};

TEST_F(OptimiseTest, RunsTheTickedPassesOnTheSelectedPagesAndReports) {
  WriteFile(Page("a.htm"), "<p>x</p>\r\n\r\n");
  WriteFile(Page("b.htm"), "<b>y</b>\r\n\r\n");
  WriteFile(Page("c.htm"), "\r\n<i>z</i>\r\n\r\n");
  Start();
  ShowFolder(PagesFolder());
  ClickEntry("File1", QStringLiteral("c.htm"));
  ClickEntry("File1", QStringLiteral("a.htm"));
  Click("rpButton2");
  Click("Check3");  // drop empty lines
  Optimise();

  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].icon, MessageIcon::kInformation);
  EXPECT_EQ(messages_[0].text.toStdString(),
            "2 файл(ов) обработано.\n"
            "Размер до оптимизации: 26 байт.\n"
            "Размер после оптимизации: 20 байт.\n"
            "\n"
            "Удалено: 6 байт. (23%)");
  EXPECT_EQ(messages_[0].title_meanwhile, QStringLiteral("Slimtag v2.5"));
  EXPECT_EQ(messages_[0].pointer, Qt::WaitCursor);
  EXPECT_EQ(ReadFile(Page("a.htm")), "<p>x</p>\r\n");
  EXPECT_EQ(ReadFile(Page("b.htm")), "<b>y</b>\r\n\r\n");
  EXPECT_EQ(ReadFile(Page("c.htm")), "<i>z</i>\r\n");
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(window_->windowTitle(), QStringLiteral("Slimtag v2.5"));
  EXPECT_FALSE(QFileInfo::exists(QDir(WorkFolder()).filePath(QStringLiteral("slimtag.tmp"))));
  EXPECT_FALSE(window_->Request().entries.at(std::size_t(0)).selected ||
               window_->Request().entries.at(std::size_t(2)).selected);  // the list was re-read
}

// What the run decides "nothing selected" is its own; the window shows it with the warning icon,
// gives the pointer back, and keeps the title on the last page started (none: the window's own).
TEST_F(OptimiseTest, NothingSelectedIsAWarningAndTheTitleStaysOnTheLastPage) {
  WriteFile(Page("empty.htm"), "");
  Start();
  ShowFolder(PagesFolder());
  Optimise();  // no page selected
  Click("Command2");
  Optimise();  // only an empty page
  ASSERT_EQ(messages_.size(), 2u);
  for (const auto& message : messages_) {
    EXPECT_EQ(message.text.toStdString(), "Файлы не выбраны! ");
    EXPECT_EQ(message.icon, MessageIcon::kWarning);
  }
  EXPECT_EQ(messages_[0].title_meanwhile, QStringLiteral("Slimtag v2.5"));
  EXPECT_EQ(window_->windowTitle(), QStringLiteral("Оптимизируется файл: empty.htm"));
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

// The run works in the folder the file list read: one put in its place since is never written in.
TEST_F(OptimiseTest, AFolderSwappedAfterTheListReadItIsNotWrittenIn) {
  const QString folder = QDir(PagesFolder()).filePath(QStringLiteral("site"));
  ASSERT_TRUE(QDir().mkpath(folder));
  WriteFile(folder + QStringLiteral("/a.htm"), "a&nbsp;\r\n");
  Start();
  ShowFolder(folder);
  Click("Command2");
  ASSERT_TRUE(QDir().rename(folder, folder + QStringLiteral(".away")));
  ASSERT_TRUE(QDir().mkpath(folder));
  WriteFile(folder + QStringLiteral("/a.htm"), "other&nbsp;\r\n");
  Click("rpButton2");
  Click("Check7");
  Optimise();
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].icon, MessageIcon::kWarning);
  EXPECT_NE(messages_[0].text.indexOf(QStringLiteral("подменена или изменена другой программой")),
            -1)
      << messages_[0].text.toStdString();
  EXPECT_EQ(ReadFile(folder + QStringLiteral("/a.htm")), "other&nbsp;\r\n");
  EXPECT_EQ(ReadFile(folder + QStringLiteral(".away/a.htm")), "a&nbsp;\r\n");
}

TEST_F(OptimiseTest, TheUsersCyrillicTextsReachTheRunOnlyWhileTheirBoxIsTicked) {
  WriteFile(Page("p.htm"), "Привет, мир! Лишнее\r\n");
  Start();
  ShowFolder(PagesFolder());
  Click("Command2");
  Click("rpButton7");
  Find<QLineEdit>("Text1")->setText(QStringLiteral("привет"));
  Find<QLineEdit>("Text2")->setText(QStringLiteral("Здравствуй"));
  Find<QLineEdit>("Text13")->setText(QStringLiteral(" Лишнее"));
  Click("Check13");
  Optimise();
  EXPECT_EQ(ReadFile(Page("p.htm")), QStringLiteral("Привет, мир!\r\n").toUtf8());
  Click("Check12");
  Click("Command2");
  Optimise();
  EXPECT_EQ(ReadFile(Page("p.htm")), QStringLiteral("Здравствуй, мир!\r\n").toUtf8());
  EXPECT_EQ(messages_.size(), 2u);
}

// Two windows-1251 names, told apart on the screen: the entry clicked by its shown name is the
// page the run rewrites.
TEST_F(OptimiseTest, APageChosenByItsWindows1251NameIsThePageRewritten) {
  const std::string folder = QFile::encodeName(PagesFolder()).toStdString();
  const std::string hello = folder + "/\xcf\xf0\xe8\xe2\xe5\xf2.htm";  // Привет.htm
  const std::string world = folder + "/\xcc\xe8\xf0.htm";              // Мир.htm
  for (const std::string& page : {hello, world}) std::ofstream(page) << "<p>x</p>\r\n\r\n";
  Start();
  ShowFolder(PagesFolder());
  ClickEntry("File1", QStringLiteral("Мир.htm"));
  Click("rpButton2");
  Click("Check3");  // drop empty lines
  Optimise();
  const auto content = [](const std::string& page) {
    std::ifstream in(page, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  EXPECT_EQ(content(world), "<p>x</p>\r\n");
  EXPECT_EQ(content(hello), "<p>x</p>\r\n\r\n");
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_TRUE(messages_[0].text.startsWith(QStringLiteral("1 файл(ов) обработано.")));
  // QTemporaryDir cannot spell these names to remove them.
  for (const std::string& page : {hello, world}) std::remove(page.c_str());
}

// The title names the page in hand as the file list shows it: a name that is not valid UTF-8 as
// windows-1251, as the pages are read, so that two such names differ in the title too.
TEST_F(OptimiseTest, TheTitleNamesThePageInHand) {
  window_ = nullptr;
  Start();
  const std::pair<std::string, QString> cases[] = {
      {"страница.htm", QStringLiteral("страница.htm")},
      {"\xf1\xe0\xe9\xf2.htm", QStringLiteral("сайт.htm")},
      {"caf\xe9.htm", QStringLiteral("cafй.htm")},
  };
  for (const auto& [bytes, shown] : cases) {
    window_->PageStarted(bytes);
    EXPECT_EQ(window_->windowTitle(), QStringLiteral("Оптимизируется файл: ") + shown);
  }
}

// The real box: modal, titled "Slimtag", the icon, one OK button, the normal pointer over it.
// Every box that comes up is read and answered from the test, from before the window is made on,
// so that no box can wait for a user who is not there.
class RealMessageBoxTest : public OptimiseTest {
 protected:
  struct Seen {
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    qsizetype buttons = 0;
    bool modal = false;
    std::optional<Qt::CursorShape> pointer;
    QStringList button_texts;  // sorted
    QString default_button;
  };

  void SetUp() override {
    OptimiseTest::SetUp();
    QObject::connect(&answer_, &QTimer::timeout, [this] { Answer(); });
    answer_.start(20);
    UseRealMessageBoxes();
    Start();
  }
  void TearDown() override {
    answer_.stop();
    OptimiseTest::TearDown();
  }

  void Answer() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) return;
    std::optional<Qt::CursorShape> pointer;
    if (const QCursor* cursor = QGuiApplication::overrideCursor()) pointer = cursor->shape();
    QStringList texts;
    for (const QAbstractButton* button : box->buttons()) texts.push_back(button->text());
    texts.sort();  // their order on the screen is the style's
    seen_.push_back({box->windowTitle(), box->text(), box->icon(), box->buttons().size(),
                     box->isModal(), pointer, texts,
                     box->defaultButton() ? box->defaultButton()->text() : QString()});
    QAbstractButton* ok = box->button(QMessageBox::Ok);
    QAbstractButton* no = box->button(QMessageBox::No);
    if (ok || no) {
      QTest::mouseClick(ok ? ok : no, Qt::LeftButton);
    } else {
      box->reject();
    }
  }

  QTimer answer_;
  std::vector<Seen> seen_;
};

TEST_F(RealMessageBoxTest, StatisticsComeInAModalBoxWithOneOkButton) {
  WriteFile(Page("a.htm"), "x\r\n");
  ShowFolder(PagesFolder());
  Click("Command2");
  Optimise();
  ASSERT_EQ(seen_.size(), 1u);
  const Seen& seen = seen_[0];
  EXPECT_EQ(seen.title, QStringLiteral("Slimtag"));
  EXPECT_EQ(seen.icon, QMessageBox::Information);
  EXPECT_EQ(seen.buttons, 1);
  EXPECT_TRUE(seen.modal);
  EXPECT_EQ(seen.pointer, Qt::ArrowCursor);
  EXPECT_TRUE(seen.text.startsWith(QStringLiteral("1 файл(ов) обработано.\nРазмер до")));
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(RealMessageBoxTest, TheWarningComesWithTheWarningIcon) {
  ShowFolder(PagesFolder());
  Optimise();
  ASSERT_EQ(seen_.size(), 1u);
  EXPECT_EQ(seen_[0].icon, QMessageBox::Warning);
  EXPECT_EQ(seen_[0].text, QStringLiteral("Файлы не выбраны! "));
  EXPECT_EQ(seen_[0].buttons, 1);
}

// The question whether to stop a run: «Да» and «Нет», «Нет» the default, the normal pointer.
TEST_F(RealMessageBoxTest, TheQuestionComesInAModalBoxWithYesAndNoAndNoTheDefault) {
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);  // as during a run
  EXPECT_FALSE(ModalMessageBoxes().Ask(window_.get(), QStringLiteral("Остановить <b>?")));
  QGuiApplication::restoreOverrideCursor();
  ASSERT_EQ(seen_.size(), 1u);
  const Seen& seen = seen_[0];
  EXPECT_EQ(seen.title, QStringLiteral("Slimtag"));
  EXPECT_EQ(seen.text, QStringLiteral("Остановить <b>?"));
  EXPECT_EQ(seen.icon, QMessageBox::Question);
  EXPECT_EQ(seen.button_texts, (QStringList{QStringLiteral("Да"), QStringLiteral("Нет")}));
  EXPECT_EQ(seen.default_button, QStringLiteral("Нет"));
  EXPECT_TRUE(seen.modal);
  EXPECT_EQ(seen.pointer, Qt::ArrowCursor);
}

}  // namespace
}  // namespace slimtag
