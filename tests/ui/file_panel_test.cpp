#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <utility>

#include "drive_list.h"
#include "folder_list.h"
#include "rp_button.h"
#include "run/page_list.h"
#include "window_fixture.h"

namespace slimtag {
namespace {

class FilePanelTest : public WindowTest {
 protected:
  QString Home(const char* name) const {
    return QDir(HomeFolder()).filePath(QString::fromUtf8(name));
  }
  QStringList Entries() {
    QStringList names;
    auto* list = Find<QListWidget>("File1");
    for (int i = 0; i < list->count(); ++i) names << list->item(i)->text();
    return names;
  }
  std::vector<bool> Selection() {
    std::vector<bool> selected;
    for (int i = 0; i < static_cast<int>(window_->Request().entries.size()); ++i)
      selected.push_back(window_->Request().entries.at(std::size_t(i)).selected);
    return selected;
  }
  FolderList* Dir1() { return Find<FolderList>("Dir1"); }
  DriveList* Drive1() { return Find<DriveList>("Drive1"); }
  QString Folder() const {
    return QFile::decodeName(QByteArray::fromStdString(window_->Request().folder));
  }
  // The folder list's entries after the path down to the current folder.
  QStringList SubFolders() {
    QStringList names;
    bool below = false;
    for (int i = 0; i < Dir1()->count(); ++i) {
      QListWidgetItem* item = Dir1()->item(i);
      if (below) names << item->text();
      if (FolderList::EntryFolder(item) == Dir1()->Path()) below = true;
    }
    return names;
  }
  // Opens the folder list's entry with this text as the user does, by a double-click.
  void OpenFolder(const QString& text) {
    const auto items = Dir1()->findItems(text, Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1) << qPrintable(text);
    // A double-click is a press and a release, then the double-click on the entry pressed.
    const QPoint at = Dir1()->visualItemRect(items.front()).center();
    QTest::mouseClick(Dir1()->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(Dir1()->viewport(), Qt::LeftButton, {}, at);
  }
  // Picks the drive in the drop-down list as the user does.
  void ChooseDrive(const QString& root) {
    const int index = Drive1()->findData(root);
    ASSERT_GE(index, 0) << qPrintable(root);
    Drive1()->setCurrentIndex(index);
    emit Drive1()->activated(index);
  }
  QString MakeFolder(const QString& path) {
    EXPECT_TRUE(QDir().mkpath(path)) << qPrintable(path);
    return path;
  }
};

// Which files the list shows: regular files whose name ends in one of the eight extensions, letter
// case ignored, hidden ones aside; in the order the run takes them.
TEST_F(FilePanelTest, ListsThePagesOfTheFolderInNameOrder) {
  struct Case {
    const char* name;
    bool listed;
  };
  const Case kCases[] = {
      {"page.HTM", true}, {"index.Php3", true}, {"b.shtml", true},       {"c.SHTM", true},
      {"d.asp", true},    {"e.php", true},      {"f.PHP4", true},        {"g.html", true},
      {"Я.asp", true},    {"style.css", false}, {"page.htm.bak", false}, {".hidden.htm", false},
      {"a.php5", false},  {"htm", false},       {"x.htmx", false},       {"page.ht", false},
  };
  for (const Case& c : kCases) WriteFile(Home(c.name), "x");
  MakeFolder(Home("folder.htm"));
  Start();
  EXPECT_EQ(Folder(), HomeFolder());
  EXPECT_EQ(window_->Request().list_folder, window_->Request().folder);
  EXPECT_EQ(Entries(), (QStringList{"b.shtml", "c.SHTM", "d.asp", "e.php", "f.PHP4", "g.html",
                                    "index.Php3", "page.HTM", "Я.asp"}));
}

TEST_F(FilePanelTest, OrdersNamesWithLetterCaseIgnoredAsTheBatchRunDoes) {
  for (const char* name :
       {"b.htm", "A.htm", "a.html", "B.HTML", "Б.htm", "а.htm", "Ё.htm", "10.htm", "2.htm"}) {
    WriteFile(Home(name), "x");
  }
  Start();
  const QStringList expected = {"10.htm", "2.htm", "A.htm", "a.html", "b.htm",
                                "B.HTML", "а.htm", "Б.htm", "Ё.htm"};
  EXPECT_EQ(Entries(), expected);
  QStringList batch;
  const auto platform = MakeSystemPlatform();
  for (const std::string& name : ListPages(*platform, window_->Request().folder))
    batch << QString::fromStdString(name);
  EXPECT_EQ(Entries(), batch);
}

TEST_F(FilePanelTest, TheFolderListShowsThePathDownToTheFolderThenItsSubFolders) {
  for (const char* name : {"site", "Archive", ".git", "b.htm", "Ц"}) MakeFolder(Home(name));
  WriteFile(Home("notes.htm"), "x");
  Start();
  const QStringList path = HomeFolder().split(QLatin1Char('/'), Qt::SkipEmptyParts);
  QStringList shown;
  for (int i = 0; i < Dir1()->count(); ++i) shown << Dir1()->item(i)->text();
  const QStringList expected =
      QStringList{"/"} + path + QStringList{"Archive", "b.htm", "site", "Ц"};
  EXPECT_EQ(shown, expected);
  ASSERT_NE(Dir1()->currentItem(), nullptr);
  EXPECT_EQ(FolderList::EntryFolder(Dir1()->currentItem()), QFile::encodeName(HomeFolder()));
  EXPECT_EQ(FolderList::EntryFolder(Dir1()->item(0)), "/");
  EXPECT_EQ(FolderList::EntryFolder(Dir1()->item(1)), "/" + QFile::encodeName(path[0]));
}

TEST_F(FilePanelTest, OpeningAnEntryMakesItTheFolderByMouseOrByKey) {
  const QString site = MakeFolder(Home("site"));
  const QString images = MakeFolder(Home("site/images"));
  WriteFile(Home("site/in.htm"), "x");
  WriteFile(Home("top.htm"), "x");
  Start();
  OpenFolder(QStringLiteral("site"));
  EXPECT_EQ(Folder(), site);
  EXPECT_EQ(Entries(), QStringList{"in.htm"});
  EXPECT_EQ(SubFolders(), QStringList{"images"});

  auto* entry = Dir1()->findItems(QStringLiteral("images"), Qt::MatchExactly).value(0);
  ASSERT_NE(entry, nullptr);
  Dir1()->setCurrentItem(entry);
  QTest::keyClick(Dir1(), Qt::Key_Return);
  EXPECT_EQ(Folder(), images);
  EXPECT_TRUE(Entries().isEmpty());

  // An entry of the path leads back up.
  OpenFolder(QDir(HomeFolder()).dirName());
  EXPECT_EQ(Folder(), HomeFolder());
  EXPECT_EQ(Entries(), QStringList{"top.htm"});
  EXPECT_TRUE(messages_.empty());
}

TEST_F(FilePanelTest, ClicksToggleEntriesAndTheButtonsSelectOrClearAll) {
  for (const char* name : {"a.htm", "b.htm", "c.htm"}) WriteFile(Home(name), "x");
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
  EXPECT_EQ(Folder(), HomeFolder());
}

TEST_F(FilePanelTest, SelectAllOnAFolderWithoutPagesDoesNothing) {
  WriteFile(Home("style.css"), "x");
  Start();
  Click("Command2");
  Click("Command3");
  EXPECT_EQ(static_cast<int>(window_->Request().entries.size()), 0);
  EXPECT_EQ(Folder(), HomeFolder());
  EXPECT_TRUE(messages_.empty());
}

TEST_F(FilePanelTest, AnotherFolderStartsWithNothingSelected) {
  MakeFolder(Home("site"));
  WriteFile(Home("a.htm"), "x");
  WriteFile(Home("site/in.htm"), "x");
  WriteFile(Home("site/out.html"), "x");
  Start();
  Click("Command2");
  OpenFolder(QStringLiteral("site"));
  EXPECT_EQ(Entries(), (QStringList{"in.htm", "out.html"}));
  EXPECT_EQ(Selection(), (std::vector<bool>{false, false}));
  Click("Command2");
  OpenFolder(QDir(HomeFolder()).dirName());
  EXPECT_EQ(Entries(), (QStringList{"a.htm"}));
  EXPECT_EQ(Selection(), (std::vector<bool>{false}));
}

// A folder gone or made a file after it was listed cannot be opened: the list says which folder
// and why, and stays where it was.
TEST_F(FilePanelTest, AFolderThatCannotBeOpenedIsNamedWithTheReasonAndTheListsStay) {
  struct Case {
    const char* name;  // in the file system's bytes
    bool made_a_file;  // removed otherwise
    const char* shown;
    const char* reason;
  };
  const Case kCases[] = {
      {"gone", false, "gone", "файл или папка не найдены"},
      {"\xd1\xe0\xe9\xf2", false, "Сайт", "файл или папка не найдены"},
      {"notes", true, "notes", "часть пути не является папкой"},
  };
  for (const Case& c : kCases) {
    const std::string folder = QFile::encodeName(HomeFolder()).toStdString() + "/" + c.name;
    ASSERT_TRUE(std::filesystem::create_directory(folder)) << c.shown;
    WriteFile(Home("a.htm"), "x");
    messages_.clear();
    Start();
    ClickEntry("File1", QStringLiteral("a.htm"));
    std::filesystem::remove(folder);
    if (c.made_a_file) std::ofstream(folder) << "x";
    OpenFolder(QString::fromUtf8(c.shown));
    ASSERT_EQ(messages_.size(), 1u) << c.shown;
    EXPECT_EQ(messages_[0].text, QStringLiteral("Непонятная ошибка.\nНе удалось открыть папку «") +
                                     HomeFolder() + QLatin1Char('/') + QString::fromUtf8(c.shown) +
                                     QStringLiteral("»: ") + QString::fromUtf8(c.reason) +
                                     QLatin1Char('.'));
    EXPECT_EQ(messages_[0].icon, MessageIcon::kWarning);
    EXPECT_EQ(Folder(), HomeFolder()) << c.shown;
    EXPECT_EQ(Selection(), std::vector<bool>{true}) << c.shown;
    Close();
    std::filesystem::remove(folder);
  }
}

// A start folder that cannot be read is named with the reason, and the nearest folder above it
// that can be read is shown instead of the root.
TEST_F(FilePanelTest, AStartFolderThatCannotBeReadIsNamedAndTheNearestReadableAboveItShown) {
  const std::pair<const char*, const char*> kCases[] = {
      {"locked", "нет прав доступа"},  // mode 000
      {"gone/deeper", "файл или папка не найдены"},
      {"a.htm/sub", "часть пути не является папкой"},
  };
  WriteFile(Home("a.htm"), "x");
  ASSERT_TRUE(QDir(HomeFolder()).mkdir(QStringLiteral("locked")));
  QFile::setPermissions(Home("locked"), {});
  const bool root_reads_anything = QDir(Home("locked")).isReadable();
  for (const auto& [start, reason] : kCases) {
    SCOPED_TRACE(start);
    if (root_reads_anything && std::string_view(start) == "locked") continue;
    qputenv("HOME", QFile::encodeName(Home(start)));
    messages_.clear();
    Start();
    QCoreApplication::processEvents();
    EXPECT_EQ(Folder(), HomeFolder());
    EXPECT_EQ(Entries(), QStringList{"a.htm"});
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].text, QStringLiteral("Не удалось прочитать начальную папку «%1»: %2.\n"
                                                "Открыта ближайшая папка выше неё: «%3».")
                                     .arg(Home(start), QString::fromUtf8(reason), HomeFolder()));
    EXPECT_EQ(messages_[0].icon, MessageIcon::kWarning);
    Close();
  }
  QFile::setPermissions(Home("locked"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  if (root_reads_anything) GTEST_SKIP() << "root reads a folder of mode 000: not tried as one";
}

// Names in windows-1251, the pages' other encoding, are shown as such, so that names that
// differ on disk differ on the screen; the entry chosen by its shown name is still the file's
// own bytes, and UTF-8 names are shown as they are.
TEST_F(FilePanelTest, NamesThatAreNotUtf8AreShownAsWindows1251) {
  struct Case {
    const char* bytes;
    const char* shown;
  };
  const Case kPages[] = {
      {"\xcf\xf0\xe8\xe2\xe5\xf2.htm", "Привет.htm"},
      {"\xcc\xe8\xf0.htm", "Мир.htm"},
      {"\xd0\x9c\xd0\xb8\xd1\x80.html", "Мир.html"},
  };
  const std::string home = QFile::encodeName(HomeFolder()).toStdString();
  for (const Case& c : kPages) std::ofstream(home + "/" + c.bytes) << "x";
  ASSERT_TRUE(std::filesystem::create_directory(home + "/\xd1\xe0\xe9\xf2"));
  Start();
  EXPECT_EQ(SubFolders(), QStringList{"Сайт"});
  ASSERT_EQ(static_cast<int>(window_->Request().entries.size()), 3);
  for (const Case& c : kPages) {
    const QStringList entries = Entries();
    const qsizetype at = entries.indexOf(QString::fromUtf8(c.shown));
    ASSERT_GE(at, 0) << c.shown;
    EXPECT_EQ(window_->Request().entries.at(std::size_t(static_cast<int>(at))).name, c.bytes)
        << c.shown;
    ClickEntry("File1", QString::fromUtf8(c.shown));
    EXPECT_TRUE(window_->Request().entries.at(std::size_t(static_cast<int>(at))).selected)
        << c.shown;
  }
  for (const Case& c : kPages) std::filesystem::remove(home + "/" + c.bytes);
  std::filesystem::remove(home + "/\xd1\xe0\xe9\xf2");
}

// Space toggles the entry it is on; Qt's type-ahead search would take the blank and move on to
// a name that begins with one, where the next Space would land.
TEST_F(FilePanelTest, SpaceTogglesTheCurrentEntryOnly) {
  for (const char* name : {" b.htm", "a.htm", "c.htm"}) WriteFile(Home(name), "x");
  Start();
  auto* list = Find<QListWidget>("File1");
  const int c = static_cast<int>(Entries().indexOf(QStringLiteral("c.htm")));
  ASSERT_GE(c, 0);
  list->setFocus();
  list->selectionModel()->setCurrentIndex(list->model()->index(c, 0),
                                          QItemSelectionModel::NoUpdate);
  std::vector<bool> only_c(3, false);
  only_c[static_cast<std::size_t>(c)] = true;
  QTest::keyClick(list, Qt::Key_Space);
  EXPECT_EQ(Selection(), only_c);
  EXPECT_EQ(list->currentRow(), c);
  QTest::keyClick(list, Qt::Key_Space);
  EXPECT_EQ(Selection(), std::vector<bool>(3, false));
  EXPECT_EQ(list->currentRow(), c);
}

// The buttons change the selection once, whatever was selected before, not entry by entry.
TEST_F(FilePanelTest, SelectAllAndClearAllChangeTheSelectionAtOnce) {
  for (int i = 0; i < 50; ++i) WriteFile(Home(qPrintable(QStringLiteral("p%1.htm").arg(i))), "x");
  Start();
  auto* list = Find<QListWidget>("File1");
  ClickEntry("File1", QStringLiteral("p3.htm"));
  ClickEntry("File1", QStringLiteral("p7.htm"));
  int changes = 0;
  QObject::connect(list->selectionModel(), &QItemSelectionModel::selectionChanged,
                   [&changes] { ++changes; });
  Click("Command2");
  EXPECT_EQ(Selection(), std::vector<bool>(50, true));
  EXPECT_EQ(changes, 1);
  ClickEntry("File1", QStringLiteral("p9.htm"));
  changes = 0;
  Click("Command3");
  EXPECT_EQ(Selection(), std::vector<bool>(50, false));
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(static_cast<int>(window_->Request().entries.size()), 50);
}

// Names that are not valid UTF-8 are still the folders and files the run opens.
TEST_F(FilePanelTest, FolderAndEntryNamesAreTheFileSystemsBytes) {
  const std::string home = QFile::encodeName(HomeFolder()).toStdString();
  const std::string folder = home + "/d\xe9j\xe0";
  const std::string page = folder + "/caf\xe9.htm";
  ASSERT_TRUE(std::filesystem::create_directory(folder));
  std::ofstream(page) << "x";
  Start();
  ASSERT_EQ(SubFolders().size(), 1);
  OpenFolder(SubFolders()[0]);
  EXPECT_EQ(window_->Request().folder, folder);
  ASSERT_EQ(static_cast<int>(window_->Request().entries.size()), 1);
  EXPECT_EQ(window_->Request().entries.at(std::size_t(0)).name, "caf\xe9.htm");
  // QTemporaryDir cannot spell these names to remove them.
  std::filesystem::remove_all(folder);
}

// The drives are folders of the test's own; the home folder lies on the first one.
class DriveTest : public FilePanelTest {
 protected:
  void SetUp() override {
    FilePanelTest::SetUp();
    ASSERT_TRUE(drives_.isValid());
    system_ = MakeFolder(drives_.filePath(QStringLiteral("system")));
    usb_ = MakeFolder(drives_.filePath(QStringLiteral("usb")));
    share_ = MakeFolder(drives_.filePath(QStringLiteral("share")));
    home_ = MakeFolder(system_ + QStringLiteral("/home/user"));
    qputenv("HOME", QFile::encodeName(home_));
    WriteFile(system_ + QStringLiteral("/root.htm"), "x");
    WriteFile(home_ + QStringLiteral("/home.htm"), "x");
    WriteFile(usb_ + QStringLiteral("/usb.htm"), "x");
    fake_ = &UseFakeVolumes();
    fake_->volumes = {{system_, QStringLiteral("ext4")},
                      {share_, QStringLiteral("nfs")},
                      {usb_, QStringLiteral("KINGSTON")}};
  }

  QTemporaryDir drives_;
  QString system_, usb_, share_, home_;
  FakeVolumes* fake_ = nullptr;  // owned by the window once it starts
};

TEST_F(DriveTest, StartsOnTheHomeFolderReachedThroughItsDrive) {
  Start();
  EXPECT_EQ(Drive1()->Drive(), system_);
  EXPECT_EQ(Drive1()->currentText(), system_ + QStringLiteral(" [ext4]"));
  EXPECT_EQ(Folder(), home_);
  EXPECT_EQ(Entries(), QStringList{"home.htm"});
  // Drive1 = the home's drive reads the drive; the folder then set lies on the same drive.
  EXPECT_EQ(fake_->probed, std::vector<QString>{system_});
  QStringList offered;
  for (int i = 0; i < Drive1()->count(); ++i) offered << Drive1()->itemText(i);
  EXPECT_EQ(offered, (QStringList{system_ + " [ext4]", share_ + " [nfs]", usb_ + " [KINGSTON]"}));
}

TEST_F(DriveTest, ADriveShowsItsCurrentFolderNotNecessarilyItsRoot) {
  const QString photos = MakeFolder(usb_ + QStringLiteral("/photos"));
  Start();
  ChooseDrive(usb_);
  EXPECT_EQ(Folder(), usb_);  // nothing shown on it yet: its mount point
  EXPECT_EQ(Entries(), QStringList{"usb.htm"});
  OpenFolder(QStringLiteral("photos"));
  ChooseDrive(system_);
  EXPECT_EQ(Folder(), home_);
  ChooseDrive(usb_);
  EXPECT_EQ(Folder(), photos);
  EXPECT_EQ(Drive1()->Drive(), usb_);
  EXPECT_TRUE(messages_.empty());
}

TEST_F(DriveTest, ADriveWhoseCurrentFolderWasRemovedShowsItsNearestParent) {
  const QString deep = MakeFolder(usb_ + QStringLiteral("/a/b"));
  Start();
  ChooseDrive(usb_);
  OpenFolder(QStringLiteral("a"));
  OpenFolder(QStringLiteral("b"));
  ChooseDrive(system_);
  ASSERT_TRUE(QDir(deep).removeRecursively());
  ChooseDrive(usb_);
  EXPECT_EQ(Folder(), usb_ + QStringLiteral("/a"));
  EXPECT_TRUE(messages_.empty());
}

TEST_F(DriveTest, TheDriveListFollowsTheFolderOntoAnotherDrive) {
  const QString mounted = MakeFolder(system_ + QStringLiteral("/mnt/disk"));
  fake_->volumes.push_back({mounted, QStringLiteral("xfs")});
  Start();
  ShowFolder(system_ + QStringLiteral("/mnt"));
  EXPECT_EQ(Drive1()->Drive(), system_);
  OpenFolder(QStringLiteral("disk"));
  EXPECT_EQ(Drive1()->Drive(), mounted);
  EXPECT_EQ(Drive1()->currentText(), mounted + QStringLiteral(" [xfs]"));
  // Its current folder is now the one shown on it.
  ChooseDrive(system_);
  EXPECT_EQ(Folder(), system_ + QStringLiteral("/mnt"));
}

// The two failures of reading a drive, as the drive list's change handler reports them.
TEST_F(DriveTest, ADriveThatCannotBeReadIsReported) {
  struct Case {
    FolderStatus status;
    const char* message;
    bool list_returns;  // whether the drive list goes back to the drive of the folder shown
  };
  const Case kCases[] = {{FolderStatus::kNotReady, "Диск не готов.", true},
                         {FolderStatus::kFailed, "Непонятная ошибка.", false}};
  for (const Case& c : kCases) {
    fake_ = &UseFakeVolumes();
    fake_->volumes = {{system_, QStringLiteral("ext4")}, {usb_, QStringLiteral("KINGSTON")}};
    fake_->statuses[usb_] = c.status;
    messages_.clear();
    Start();
    ClickEntry("File1", QStringLiteral("home.htm"));
    ChooseDrive(usb_);
    ASSERT_EQ(messages_.size(), 1u) << c.message;
    EXPECT_EQ(messages_[0].text, QString::fromUtf8(c.message));
    EXPECT_EQ(messages_[0].icon, MessageIcon::kWarning);
    EXPECT_EQ(Folder(), home_) << c.message;
    EXPECT_EQ(Entries(), QStringList{"home.htm"}) << c.message;
    EXPECT_EQ(Selection(), std::vector<bool>{true}) << c.message;
    const QString drive = c.list_returns ? system_ : usb_;
    EXPECT_EQ(Drive1()->Drive(), drive) << c.message;
    EXPECT_EQ(Drive1()->currentData().toString(), drive) << c.message;
    Close();
  }
}

TEST_F(DriveTest, ADriveThatIsReadyAgainCanBeChosen) {
  fake_->statuses[usb_] = FolderStatus::kNotReady;
  Start();
  ChooseDrive(usb_);
  fake_->statuses.erase(usb_);
  ChooseDrive(usb_);
  EXPECT_EQ(Folder(), usb_);
  EXPECT_EQ(messages_.size(), 1u);
}

TEST_F(DriveTest, TheListIsReadAgainWhenItDropsDown) {
  Start();
  const QString card = MakeFolder(drives_.filePath(QStringLiteral("card")));
  fake_->volumes.push_back({card, QStringLiteral("vfat")});
  Drive1()->showPopup();
  Drive1()->hidePopup();
  EXPECT_GE(Drive1()->findData(card), 0);
  EXPECT_EQ(Drive1()->Drive(), system_);
  EXPECT_EQ(Drive1()->currentData().toString(), system_);
  ChooseDrive(card);
  EXPECT_EQ(Folder(), card);
}

}  // namespace
}  // namespace slimtag
