#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <cstdio>
#include <fstream>

#include "rp_button.h"
#include "window_fixture.h"

namespace slimtag {
namespace {

class FilePanelTest : public WindowTest {
 protected:
  QStringList Entries() {
    QStringList names;
    auto* list = Find<QListWidget>("File1");
    for (int i = 0; i < list->count(); ++i) names << list->item(i)->text();
    return names;
  }
  std::vector<bool> Selection() {
    std::vector<bool> selected;
    for (int i = 0; i < window_->EntryCount(); ++i) selected.push_back(window_->EntrySelected(i));
    return selected;
  }
};

TEST_F(FilePanelTest, StartsOnTheHomeFolderListingOnlyPages) {
  for (const char* name :
       {"page.HTM", "index.Php3", "b.shtml", "style.css", "page.htm.bak", ".hidden.htm", "Я.asp"}) {
    WriteFile(QDir(HomeFolder()).filePath(QString::fromUtf8(name)), "x");
  }
  ASSERT_TRUE(QDir(HomeFolder()).mkdir(QStringLiteral("folder.htm")));
  Start();
  EXPECT_EQ(window_->FolderPath(), QFile::encodeName(HomeFolder()).toStdString());
  EXPECT_EQ(window_->ListPath(), window_->FolderPath());
  EXPECT_EQ(Entries(), (QStringList{"b.shtml", "index.Php3", "page.HTM", "Я.asp"}));
}

TEST_F(FilePanelTest, ClicksToggleEntriesAndTheButtonsSelectOrClearAll) {
  for (const char* name : {"a.htm", "b.htm", "c.htm"}) {
    WriteFile(QDir(HomeFolder()).filePath(QString::fromLatin1(name)), "x");
  }
  Start();
  ClickEntry("File1", QStringLiteral("c.htm"));
  ClickEntry("File1", QStringLiteral("a.htm"));
  EXPECT_EQ(Selection(), (std::vector<bool>{true, false, true}));
  ClickEntry("File1", QStringLiteral("c.htm"));
  EXPECT_EQ(Selection(), (std::vector<bool>{true, false, false}));
  Click("Command2");
  EXPECT_EQ(Selection(), (std::vector<bool>{true, true, true}));
  Click("Command3");
  EXPECT_EQ(Selection(), (std::vector<bool>{false, false, false}));
  EXPECT_EQ(Entries().size(), 3);
}

TEST_F(FilePanelTest, AnotherFolderStartsWithNothingSelected) {
  const QString sub = QDir(HomeFolder()).filePath(QStringLiteral("site"));
  ASSERT_TRUE(QDir().mkdir(sub));
  WriteFile(QDir(HomeFolder()).filePath(QStringLiteral("a.htm")), "x");
  WriteFile(QDir(sub).filePath(QStringLiteral("in.htm")), "x");
  WriteFile(QDir(sub).filePath(QStringLiteral("out.html")), "x");
  Start();
  Click("Command2");
  // Into the sub-folder through the folder list, back through "..".
  auto* folders = Find<QListWidget>("Dir1");
  QListWidgetItem* site = folders->findItems(QStringLiteral("site"), Qt::MatchExactly).value(0);
  ASSERT_NE(site, nullptr);
  emit folders->itemActivated(site);
  EXPECT_EQ(Entries(), (QStringList{"in.htm", "out.html"}));
  EXPECT_EQ(Selection(), (std::vector<bool>{false, false}));
  Click("Command2");
  QListWidgetItem* up = folders->findItems(QStringLiteral(".."), Qt::MatchExactly).value(0);
  ASSERT_NE(up, nullptr);
  emit folders->itemActivated(up);
  EXPECT_EQ(Entries(), (QStringList{"a.htm"}));
  EXPECT_EQ(Selection(), (std::vector<bool>{false}));
}

TEST_F(FilePanelTest, AFolderLineThatNamesNoFolderKeepsTheFolder) {
  WriteFile(QDir(HomeFolder()).filePath(QStringLiteral("a.htm")), "x");
  Start();
  ShowFolder(QDir(HomeFolder()).filePath(QStringLiteral("missing")));
  EXPECT_EQ(window_->FolderPath(), QFile::encodeName(HomeFolder()).toStdString());
  EXPECT_EQ(Find<QLineEdit>("Dir1Path")->text(), QDir::toNativeSeparators(HomeFolder()));
  EXPECT_EQ(Entries(), (QStringList{"a.htm"}));
}

// A name that is not valid UTF-8 is still the file the run opens.
TEST_F(FilePanelTest, EntryNamesAreTheFileSystemsBytes) {
  const QByteArray name("caf\xe9.htm");
  const std::string path = QFile::encodeName(HomeFolder()).toStdString() + "/" + name.toStdString();
  std::ofstream(path) << "x";
  Start();
  EXPECT_EQ(window_->EntryCount(), 1);
  if (window_->EntryCount() == 1) {
    EXPECT_EQ(window_->EntryName(0), name.toStdString());
  }
  // QTemporaryDir cannot spell this name to remove it.
  std::remove(path.c_str());
}

TEST_F(FilePanelTest, ButtonsStandInTheirPlacesWithTheirCaptions) {
  Start();
  auto* select_all = Find<RpButton>("Command2");
  auto* clear_all = Find<RpButton>("Command3");
  EXPECT_EQ(select_all->geometry(), QRect(184, 280, 81, 23));
  EXPECT_EQ(clear_all->geometry(), QRect(272, 280, 81, 23));
  EXPECT_EQ(select_all->text(), QStringLiteral("Выделить все"));
  EXPECT_EQ(clear_all->text(), QStringLiteral("Очистить все"));
  EXPECT_EQ(select_all->toolTip(), QStringLiteral(" Выделить все файлы "));
  EXPECT_EQ(clear_all->toolTip(), QStringLiteral(" Убрать выделение "));
  for (RpButton* button : {select_all, clear_all}) {
    EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()), button->width() - 4);
  }
  EXPECT_EQ(Find("File1")->geometry(), QRect(184, 16, 169, 253));
  EXPECT_EQ(Find("Dir1")->geometry(), QRect(8, 40, 169, 261));
}

}  // namespace
}  // namespace slimtag
