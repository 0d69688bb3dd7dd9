#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QCursor>
#include <QPoint>
#include <QString>
#include <QTemporaryDir>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "form1.h"
#include "volumes.h"

// Test failures show texts as text.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QPoint& point, std::ostream* out) {
  *out << '(' << point.x() << ", " << point.y() << ')';
}

namespace slimtag {

struct ShownMessage {
  QString text;
  MessageIcon icon;
  QString title_meanwhile;                 // the window title while the message was up
  std::optional<Qt::CursorShape> pointer;  // the application's override pointer meanwhile
};

struct AskedQuestion {
  QString text;
  QString title_meanwhile;  // the window title while the question was up
  bool visible_meanwhile;   // whether the window was
};

// Drives made of the test's own folders: a folder lies on the listed drive whose root holds it,
// any other on the real file system's. Probe answers from statuses, ready when not listed there.
class FakeVolumes : public Volumes {
 public:
  std::vector<Volume> List() const override { return volumes; }
  QString MountPointOf(const QByteArray& folder) const override;
  FolderStatus Probe(const QString& mount_point) const override;

  std::vector<Volume> volumes;
  std::map<QString, FolderStatus> statuses;
  mutable std::vector<QString> probed;  // every Probe's mount point, in order

 private:
  MountedVolumes real_;
};

// Every test has its own settings store, home folder (the start folder) and working directory
// (where the run's temporary file goes), so tests can run side by side.
class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Starts the program: the window is made and its load handler runs, then it is shown.
  Form1& Start();
  // Only makes the window (its load handler runs); not shown yet.
  Form1& Make();
  // Closes the window as the user does: its unload handler runs, unless a run is working.
  void Close();
  // Clicks «Оптимизировать» and waits, handling events, until the run's end is shown; at once
  // when no run started.
  void Optimise();
  // Handles events until the run's end is shown.
  void WaitForRun();
  // The next Start's run works on this file system.
  void UsePlatform(std::unique_ptr<Platform> platform) { platform_ = std::move(platform); }
  // The next Start gets these drives; the window owns them. Without them it gets one drive, "/",
  // that holds every folder and is always ready: no test but the real volumes' own depends on
  // what the machine has mounted (in a chroot "/" is no mount point at all).
  FakeVolumes& UseFakeVolumes();
  // The next Start shows its messages in real modal boxes instead of recording them.
  void UseRealMessageBoxes() { real_message_boxes_ = true; }

  template <typename T = QWidget>
  T* Find(const char* name) {
    T* widget = window_->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  void Click(const char* name);
  // Clicks the list entry with this text.
  void ClickEntry(const char* list, const QString& text);
  // Moves the folder list as the program does (Dir1.Path = folder).
  void ShowFolder(const QString& folder);

  QString StoreFile() const;
  void WriteStoreFile(const QByteArray& content);
  QByteArray ReadStoreFile() const;
  QString HomeFolder() const { return home_.path(); }
  QString WorkFolder() const { return work_.path(); }

  std::unique_ptr<Form1> window_;
  std::vector<ShownMessage> messages_;
  std::vector<AskedQuestion> questions_;
  // The user's answer to each question, asked when it comes up; no answer given: «Нет».
  std::function<bool()> answer_;
  std::vector<QString> opened_;  // every address the window handed to the shell

 private:
  QTemporaryDir config_;
  QTemporaryDir home_;
  QTemporaryDir work_;
  std::unique_ptr<FakeVolumes> fake_volumes_;
  std::unique_ptr<Platform> platform_;
  bool real_message_boxes_ = false;
  QByteArray old_home_;
  QString old_cwd_;
};

void WriteFile(const QString& path, const QByteArray& content);
QByteArray ReadFile(const QString& path);

}  // namespace slimtag
