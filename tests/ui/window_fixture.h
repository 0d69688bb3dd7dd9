#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QCursor>
#include <QString>
#include <QTemporaryDir>
#include <QWidget>
#include <memory>
#include <optional>
#include <vector>

#include "form1.h"

namespace slimtag {

struct ShownMessage {
  QString text;
  MessageIcon icon;
  QString title_meanwhile;                 // the window title while the message was up
  std::optional<Qt::CursorShape> pointer;  // the application's override pointer meanwhile
};

// Every test has its own settings store, home folder (the start folder) and working directory
// (where the run's temporary file goes), so tests can run side by side.
class WindowTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Starts the program: the window is made and its load handler runs.
  Form1& Start();
  // Closes the window as the user does: its unload handler runs.
  void Close();

  template <typename T = QWidget>
  T* Find(const char* name) {
    T* widget = window_->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  void Click(const char* name);
  // Clicks the list entry with this text.
  void ClickEntry(const char* list, const QString& text);
  void ShowFolder(const QString& folder);

  QString StoreFile() const;
  void WriteStoreFile(const QByteArray& content);
  QByteArray ReadStoreFile() const;
  QString HomeFolder() const { return home_.path(); }
  QString WorkFolder() const { return work_.path(); }

  std::unique_ptr<Form1> window_;
  std::vector<ShownMessage> messages_;

 private:
  QTemporaryDir config_;
  QTemporaryDir home_;
  QTemporaryDir work_;
  QByteArray old_home_;
  QString old_cwd_;
};

void WriteFile(const QString& path, const QByteArray& content);
QByteArray ReadFile(const QString& path);

}  // namespace slimtag
