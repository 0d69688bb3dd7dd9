#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdint>
#include <limits>

#include "registry.h"

namespace slimtag {
namespace {

// Every test gets a store of its own: in this process through QSettings::setPath, in a probe
// process through XDG_CONFIG_HOME, both naming the same folder.
class RegistryTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(config_.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config_.path());
  }

  QString StoreFile() const {
    return config_.filePath(QStringLiteral("Velmora Soft/Slimtag.conf"));
  }

  void WriteStoreFile(const QByteArray& content) {
    ASSERT_TRUE(QDir(config_.path()).mkpath(QStringLiteral("Velmora Soft")));
    QFile file(StoreFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
  }

  // Runs the probe as a later start of the program would: a fresh process on the same store.
  QString Probe(const QStringList& args, const QString& config_home = {}) {
    QProcess probe;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"),
               config_home.isEmpty() ? config_.path() : config_home);
    probe.setProcessEnvironment(env);
    probe.start(QStringLiteral(REGISTRY_PROBE), args);
    EXPECT_TRUE(probe.waitForFinished(30000));
    EXPECT_EQ(probe.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(probe.exitCode(), 0);
    return QString::fromUtf8(probe.readAllStandardOutput()).trimmed();
  }

  static std::int32_t Read(const char* name) {
    return ReadDwordValue(RegistryRoot::kCurrentUser, kSettingsKey, QString::fromUtf8(name));
  }
  static void Write(const char* name, std::int32_t value) {
    WriteDwordValue(RegistryRoot::kCurrentUser, kSettingsKey, QString::fromUtf8(name), value);
  }

  QTemporaryDir config_;
};

TEST_F(RegistryTest, NumbersWrittenAreReadBackByALaterStart) {
  constexpr std::int32_t kNumbers[] = {0,
                                       1,
                                       2,
                                       -1,
                                       65536,
                                       std::numeric_limits<std::int32_t>::max(),
                                       std::numeric_limits<std::int32_t>::min()};
  for (std::int32_t n : kNumbers) {
    Write("st1", n);
    EXPECT_EQ(Probe({QStringLiteral("read"), QStringLiteral("st1")}), QString::number(n));
  }
}

TEST_F(RegistryTest, ALaterStartFindsTheStoreUnderXdgConfigHome) {
  Probe({QStringLiteral("write"), QStringLiteral("run"), QStringLiteral("1")});
  Probe({QStringLiteral("write"), QStringLiteral("st14"), QStringLiteral("2")});
  ASSERT_TRUE(QFile::exists(StoreFile()));
  EXPECT_EQ(Read("run"), 1);
  EXPECT_EQ(Read("st14"), 2);
  EXPECT_EQ(Probe({QStringLiteral("read"), QStringLiteral("st14")}), QStringLiteral("2"));
}

TEST_F(RegistryTest, AReadInTheWritingProcessSeesTheNumber) {
  Write("ad", 1);
  Write("st4", 2);
  EXPECT_EQ(Read("ad"), 1);
  EXPECT_EQ(Read("st4"), 2);
  Write("st4", 0);
  EXPECT_EQ(Read("st4"), 0);
}

TEST_F(RegistryTest, OnlyPlainDecimal32BitNumbersCount) {
  WriteStoreFile(
      "[General]\n"
      "st1=1\n"
      "st2=-7\n"
      "st3=2147483647\n"
      "st4=-2147483648\n"
      "st6=2147483648\n"
      "st7=-2147483649\n"
      "st8=abc\n"
      "st9=1.5\n"
      "st10=+1\n"
      "st11=0x1\n"
      "st14=true\n"
      "ad=1, 1\n"
      "run=\n"
      "a1=\" 1\"\n"
      "a2=@ByteArray(1)\n"
      "a3=-\n"
      "a4=99999999999999999999999\n");
  struct Case {
    const char* name;
    std::int32_t expected;
  };
  constexpr Case kCases[] = {
      {"st1", 1},
      {"st2", -7},
      {"st3", std::numeric_limits<std::int32_t>::max()},
      {"st4", std::numeric_limits<std::int32_t>::min()},
      {"st6", 0},
      {"st7", 0},
      {"st8", 0},
      {"st9", 0},
      {"st10", 0},
      {"st11", 0},
      {"st14", 0},
      {"ad", 0},
      {"run", 0},
      {"a1", 0},
      {"a2", 0},
      {"a3", 0},
      {"a4", 0},
      {"missing", 0},
  };
  for (const Case& c : kCases) EXPECT_EQ(Read(c.name), c.expected) << c.name;
}

TEST_F(RegistryTest, AMissingStoreReadsZeroAndIsNotCreatedByReading) {
  EXPECT_EQ(Read("run"), 0);
  EXPECT_EQ(Read("st1"), 0);
  EXPECT_FALSE(QFile::exists(StoreFile()));
}

TEST_F(RegistryTest, AStoreThatCannotBeWrittenDropsWritesSilently) {
  // The configuration folder is a plain file, so no store can be made under it.
  const QString blocked = config_.filePath(QStringLiteral("not-a-folder"));
  QFile file(blocked);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  Probe({QStringLiteral("write"), QStringLiteral("run"), QStringLiteral("1")}, blocked);
  EXPECT_EQ(Probe({QStringLiteral("read"), QStringLiteral("run")}, blocked), QStringLiteral("0"));
}

}  // namespace
}  // namespace slimtag
