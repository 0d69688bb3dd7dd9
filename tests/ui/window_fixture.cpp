#include "window_fixture.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QSettings>
#include <QTest>

namespace slimtag {

namespace {

class RecordingMessageBoxes : public MessageBoxes {
 public:
  explicit RecordingMessageBoxes(std::vector<ShownMessage>& messages) : messages_(messages) {}
  void Show(QWidget* parent, const QString& text, MessageIcon icon) override {
    std::optional<Qt::CursorShape> pointer;
    if (const QCursor* cursor = QGuiApplication::overrideCursor()) pointer = cursor->shape();
    messages_.push_back({text, icon, parent->windowTitle(), pointer});
  }

 private:
  std::vector<ShownMessage>& messages_;
};

}  // namespace

void WindowTest::SetUp() {
  ASSERT_TRUE(config_.isValid() && home_.isValid() && work_.isValid());
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config_.path());
  old_home_ = qgetenv("HOME");
  qputenv("HOME", QFile::encodeName(home_.path()));
  old_cwd_ = QDir::currentPath();
  QDir::setCurrent(work_.path());
}

void WindowTest::TearDown() {
  window_.reset();
  QDir::setCurrent(old_cwd_);
  qputenv("HOME", old_home_);
}

Form1& WindowTest::Start() {
  window_ = std::make_unique<Form1>(std::make_unique<RecordingMessageBoxes>(messages_));
  window_->show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  return *window_;
}

void WindowTest::Close() {
  window_->close();
}

void WindowTest::Click(const char* name) {
  QWidget* widget = Find(name);
  ASSERT_NE(widget, nullptr);
  QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
}

void WindowTest::ClickEntry(const char* list, const QString& text) {
  auto* widget = Find<QListWidget>(list);
  ASSERT_NE(widget, nullptr);
  const auto items = widget->findItems(text, Qt::MatchExactly);
  ASSERT_EQ(items.size(), 1) << qPrintable(text);
  QTest::mouseClick(widget->viewport(), Qt::LeftButton, {},
                    widget->visualItemRect(items.front()).center());
}

void WindowTest::ShowFolder(const QString& folder) {
  auto* line = Find<QLineEdit>("Dir1Path");
  ASSERT_NE(line, nullptr);
  line->setText(folder);
  QTest::keyClick(line, Qt::Key_Return);
}

QString WindowTest::StoreFile() const {
  return config_.filePath(QStringLiteral("Velmora Soft/Slimtag.conf"));
}

void WindowTest::WriteStoreFile(const QByteArray& content) {
  ASSERT_TRUE(QDir(config_.path()).mkpath(QStringLiteral("Velmora Soft")));
  WriteFile(StoreFile(), content);
}

QByteArray WindowTest::ReadStoreFile() const {
  return ReadFile(StoreFile());
}

void WriteFile(const QString& path, const QByteArray& content) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << qPrintable(path);
  file.write(content);
}

QByteArray ReadFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

}  // namespace slimtag
