
#include <map>
#include <string>

#include "option_box.h"
#include "window_fixture.h"

namespace slimtag {
namespace {

constexpr const char* kStoredBoxes[] = {"Check1",  "Check2",  "Check3", "Check4",
                                        "Check6",  "Check7",  "Check8", "Check9",
                                        "Check10", "Check11", "Check14"};

// The store as a later start of the program reads it: the file's text, key by key.
std::map<QString, QString> StoredValues(const QByteArray& file) {
  std::map<QString, QString> values;
  for (const QByteArray& line : file.split('\n')) {
    const int eq = line.indexOf('=');
    if (eq > 0) values[QString::fromUtf8(line.left(eq))] = QString::fromUtf8(line.mid(eq + 1));
  }
  return values;
}

using StartupTest = WindowTest;

TEST_F(StartupTest, AFirstStartMarksTheStoreAndShowsNoBanner) {
  Form1& window = Start();
  EXPECT_EQ(window.AdFlag(), 0);
  EXPECT_EQ(window.RunMarker(), 0);
  const auto stored = StoredValues(ReadStoreFile());
  EXPECT_EQ(stored, (std::map<QString, QString>{{"ad", "1"}, {"run", "1"}}));
  for (const char* name : kStoredBoxes) EXPECT_EQ(Find<OptionBox>(name)->Value(), 0) << name;
}

TEST_F(StartupTest, ALaterStartWritesNothingAndKeepsTheBannerFlag) {
  const QByteArray store = "[General]\nad=1\nrun=1\n";
  WriteStoreFile(store);
  Form1& window = Start();
  EXPECT_EQ(window.AdFlag(), 1);
  EXPECT_EQ(window.RunMarker(), 1);
  EXPECT_EQ(ReadStoreFile(), store);
}

// Any marker but 1 counts as a first start; the banner follows the flag read before the rewrite.
TEST_F(StartupTest, AMarkerOtherThanOneIsAFirstStart) {
  struct Case {
    QByteArray store;
    int ad_flag;
  };
  const Case kCases[] = {{"[General]\nad=1\nrun=2\n", 1},
                         {"[General]\nad=0\nrun=2\n", 0},
                         {"[General]\nad=5\nrun=one\n", 5}};
  for (const Case& c : kCases) {
    WriteStoreFile(c.store);
    Form1& window = Start();
    EXPECT_EQ(window.AdFlag(), c.ad_flag) << c.store.constData();
    const auto stored = StoredValues(ReadStoreFile());
    EXPECT_EQ(stored.at("run"), "1") << c.store.constData();
    EXPECT_EQ(stored.at("ad"), "1") << c.store.constData();
  }
}

TEST_F(StartupTest, ClosingSavesAllElevenBoxesAndNothingElseForTheNextStart) {
  Start();
  Click("rpButton2");
  for (const char* name : {"Check1", "Check8", "Check14", "Check6"}) Click(name);
  Click("rpButton7");
  Click("Check12");
  Click("Check13");
  Close();
  const auto stored = StoredValues(ReadStoreFile());
  const std::map<QString, QString> expected = {
      {"ad", "1"},   {"run", "1"},  {"st1", "1"}, {"st2", "0"}, {"st3", "0"},
      {"st4", "0"},  {"st6", "1"},  {"st7", "0"}, {"st8", "1"}, {"st9", "0"},
      {"st10", "0"}, {"st11", "0"}, {"st14", "1"}};
  EXPECT_EQ(stored, expected);
  // And the next start has them again.
  Start();
  EXPECT_EQ(window_->Request().options.box.at(std::size_t(8)), 1);
  EXPECT_EQ(window_->Request().options.box.at(std::size_t(2)), 0);
}

TEST_F(StartupTest, ClosingUntouchedStillWritesEveryBox) {
  WriteStoreFile("[General]\nad=1\nrun=1\n");
  Start();
  Close();
  const auto stored = StoredValues(ReadStoreFile());
  for (const char* name :
       {"st1", "st2", "st3", "st4", "st6", "st7", "st8", "st9", "st10", "st11", "st14"}) {
    ASSERT_TRUE(stored.count(name)) << name;
    EXPECT_EQ(stored.at(name), "0") << name;
  }
}

TEST_F(StartupTest, ANewStartRestoresTheStoredStates) {
  WriteStoreFile(
      "[General]\nad=1\nrun=1\n"
      "st1=1\nst2=2\nst3=1\nst4=2\nst6=7\nst7=-1\nst8=abc\nst9=1\nst10=0\nst11=1\nst14=1\n"
      "st5=1\nst12=1\nst13=1\n");
  Start();
  const std::map<std::string, int> expected = {
      {"Check1", 1},  {"Check2", 2}, {"Check3", 1},  {"Check4", 2},  {"Check6", 0},
      {"Check7", 0},  {"Check8", 0}, {"Check9", 1},  {"Check10", 0}, {"Check11", 1},
      {"Check14", 1}, {"Check5", 0}, {"Check12", 0}, {"Check13", 0}};
  for (const auto& [name, value] : expected) {
    EXPECT_EQ(Find<OptionBox>(name.c_str())->Value(), value) << name;
    EXPECT_EQ(window_->Request().options.box.at(std::size_t(std::stoi(name.substr(5)))), value)
        << name;
  }
  for (const char* field : {"Text1", "Text6", "Text13"}) EXPECT_FALSE(Find(field)->isEnabled());
}

// The user cannot change the greyed meta-tag box, so its stored state passes through unchanged.
TEST_F(StartupTest, TheGreyedMetaTagBoxIsRestoredAndSavedBack) {
  for (const char* state : {"1", "2", "0"}) {
    WriteStoreFile(QByteArray("[General]\nad=1\nrun=1\nst4=") + state + "\n");
    Start();
    EXPECT_FALSE(Find("Check4")->isEnabled());
    EXPECT_EQ(window_->Request().options.box.at(std::size_t(4)), std::stoi(state));
    Close();
    EXPECT_EQ(StoredValues(ReadStoreFile()).at("st4"), state);
  }
}

}  // namespace
}  // namespace slimtag
