#include "window_fixture.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QListWidget>
#include <QSettings>
#include <QTest>

#include "folder_list.h"

namespace slimtag {

namespace {

class RecordingMessageBoxes : public MessageBoxes {
 public:
  RecordingMessageBoxes(std::vector<ShownMessage>& messages, std::vector<AskedQuestion>& questions,
                        std::function<bool()>& answer)
      : messages_(messages), questions_(questions), answer_(answer) {}
  void Show(QWidget* parent, const QString& text, MessageIcon icon) override {
    std::optional<Qt::CursorShape> pointer;
    if (const QCursor* cursor = QGuiApplication::overrideCursor()) pointer = cursor->shape();
    messages_.push_back({text, icon, parent->windowTitle(), pointer});
  }
  bool Ask(QWidget* parent, const QString& question) override {
    questions_.push_back({question, parent->windowTitle(), parent->isVisible()});
    return answer_ && answer_();
  }

 private:
  std::vector<ShownMessage>& messages_;
  std::vector<AskedQuestion>& questions_;
  std::function<bool()>& answer_;
};

class RecordingShell : public Shell {
 public:
  explicit RecordingShell(std::vector<QString>& opened) : opened_(opened) {}
  void Open(const QString& address) override { opened_.push_back(address); }

 private:
  std::vector<QString>& opened_;
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

QString FakeVolumes::MountPointOf(const QByteArray& folder) const {
  const QString path = QFile::decodeName(folder);
  const Volume* holder = nullptr;
  for (const Volume& volume : volumes) {
    const bool holds = path == volume.root || path.startsWith(volume.root + QLatin1Char('/'));
    if (holds && (!holder || volume.root.size() > holder->root.size())) holder = &volume;
  }
  return holder ? holder->root : real_.MountPointOf(folder);
}

FolderStatus FakeVolumes::Probe(const QString& mount_point) const {
  probed.push_back(mount_point);
  const auto it = statuses.find(mount_point);
  return it == statuses.end() ? FolderStatus::kReady : it->second;
}

Form1& WindowTest::Make() {
  WindowServices services;
  if (real_message_boxes_) {
    services.message_boxes = std::make_unique<ModalMessageBoxes>();
  } else {
    services.message_boxes =
        std::make_unique<RecordingMessageBoxes>(messages_, questions_, answer_);
  }
  if (!fake_volumes_) UseFakeVolumes().volumes = {{QStringLiteral("/"), QStringLiteral("ext4")}};
  services.volumes = std::move(fake_volumes_);
  services.shell = std::make_unique<RecordingShell>(opened_);
  services.platform = std::move(platform_);
  window_ = std::make_unique<Form1>(std::move(services));
  return *window_;
}

Form1& WindowTest::Start() {
  Make();
  window_->show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  return *window_;
}

void WindowTest::Close() {
  window_->close();
}

void WindowTest::Optimise() {
  Click("Command1");
  WaitForRun();
}

void WindowTest::WaitForRun() {
  if (!window_->Running()) return;
  QEventLoop loop;
  QObject::connect(window_.get(), &Form1::RunEnded, &loop, &QEventLoop::quit);
  loop.exec();
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

FakeVolumes& WindowTest::UseFakeVolumes() {
  fake_volumes_ = std::make_unique<FakeVolumes>();
  return *fake_volumes_;
}

void WindowTest::ShowFolder(const QString& folder) {
  auto* dir1 = Find<FolderList>("Dir1");
  ASSERT_NE(dir1, nullptr);
  ASSERT_EQ(dir1->SetPath(QFile::encodeName(folder)), FolderStatus::kReady) << qPrintable(folder);
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
