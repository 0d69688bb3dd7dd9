#include "form1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QScreen>
#include <QWindow>
#include <utility>

#include "accessibility.h"
#include "click_label.h"
#include "display_name.h"
#include "drive_list.h"
#include "file_panel.h"
#include "folder_list.h"
#include "form2.h"
#include "links.h"
#include "option_box.h"
#include "plain_tool_tips.h"
#include "registry.h"
#include "rp_button.h"
#include "run/messages.h"
#include "slimtag_version.h"
#include "ui_Form1.h"

static void InitResources() {
  Q_INIT_RESOURCE(slimtag);
}

namespace slimtag {

namespace {

const QString kOptimise = QStringLiteral("Оптимизировать");

const QString kStopQuestion = QStringLiteral(
    "Оптимизация ещё идёт. Остановить её и закрыть окно?\n\n"
    "Файл, который обрабатывается сейчас, будет обработан до конца, остальные останутся "
    "нетронутыми.");

// What the user does with the keyboard, the mouse, a pen or a finger; painting, moving and
// resizing go on.
bool IsUserInput(QEvent::Type type) {
  switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::InputMethod:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::NativeGesture:
    case QEvent::Gesture:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
      return true;
    default:
      return false;
  }
}

std::int32_t ReadValue(const QString& name) {
  return ReadDwordValue(RegistryRoot::kCurrentUser, kSettingsKey, name);
}

void WriteValue(const QString& name, std::int32_t value) {
  WriteDwordValue(RegistryRoot::kCurrentUser, kSettingsKey, name, value);
}

// The tester thanked in Label25, as the line spells the name.
const QString kTesterName = QStringLiteral("Арсению Гаврилову");

void SetTextColour(QLabel* label, const QColor& colour) {
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, colour);
  label->setPalette(palette);
}

// A one-line label is at least as wide as its text, centred where the form places it: the form's
// boxes were measured for a narrower face, and the reserved ".example" addresses are long.
void FitAroundCentre(QLabel* label) {
  const QRect box = label->geometry();
  const int width = label->fontMetrics().horizontalAdvance(label->text()) + 2;
  if (width <= box.width()) return;
  label->setGeometry(box.x() - (width - box.width()) / 2, box.y(), width, box.height());
}

// A label is as tall as its lines, its top where the form places it: the form's heights were
// measured for Arial's metrics, and the lines of another face (DejaVu, where Liberation Sans is
// not installed) are taller. The panel's texts stand at the top of their boxes.
void FitLines(QLabel* label) {
  const int needed =
      label->wordWrap() ? label->heightForWidth(label->width()) : label->sizeHint().height();
  if (needed > label->height()) label->resize(label->width(), needed);
}

void StyleLink(QLabel* label) {
  SetTextColour(label, QColor(0, 0, 192));
  QFont underlined = label->font();
  underlined.setUnderline(true);
  label->setFont(underlined);
  label->setCursor(Qt::PointingHandCursor);
}

// Lays the click area over the words in the label's text, which stands centred line by line
// from the label's top.
void PlaceOver(QWidget* area, const QLabel* label, const QString& words) {
  const QFontMetrics metrics = label->fontMetrics();
  const QStringList lines = label->text().split(QLatin1Char('\n'));
  for (int row = 0; row < lines.size(); ++row) {
    const qsizetype at = lines[row].indexOf(words);
    if (at < 0) continue;
    const int left = (label->contentsRect().width() - metrics.horizontalAdvance(lines[row])) / 2 +
                     metrics.horizontalAdvance(lines[row].left(at));
    area->setGeometry(label->x() + label->contentsRect().x() + left,
                      label->y() + label->contentsRect().y() + row * metrics.lineSpacing(),
                      metrics.horizontalAdvance(words), metrics.height());
    return;
  }
}

// For assistive technology each field is named as the label before it reads and by its place, as
// the eye tells the three pairs and the three removal texts apart, and each button that clears
// everything by what it clears. The captions stay as they are.
void NameFields(Ui::Form1& ui) {
  struct Named {
    QWidget* widget;
    const char* name;
  };
  const Named named[] = {
      {ui.Text1, "Заменить, пара 1"},       {ui.Text2, "на, пара 1"},
      {ui.Text3, "Заменить, пара 2"},       {ui.Text4, "на, пара 2"},
      {ui.Text5, "Заменить, пара 3"},       {ui.Text6, "на, пара 3"},
      {ui.Text13, "Удалить, текст 1"},      {ui.Text14, "Удалить, текст 2"},
      {ui.Text15, "Удалить, текст 3"},      {ui.Command3, "Очистить все: снять выделение файлов"},
      {ui.rpButton8, "Очистить все тексты"}};
  for (const Named& n : named) n.widget->setAccessibleName(QString::fromUtf8(n.name));
}

// Only the program writes the store, and it writes 0, 1 or 2; anything else came from outside
// and cannot be shown by a box, so the box starts clear.
int RestoredState(std::int32_t stored) {
  return stored >= 0 && stored <= 2 ? stored : 0;
}

}  // namespace

QString WindowTitle() {
  return QStringLiteral("Slimtag v%1.%2").arg(kVersionMajor).arg(kVersionMinor);
}

QString ProductLine() {
  return QStringLiteral("Slimtag v%1.%2.%3")
      .arg(kVersionMajor)
      .arg(kVersionMinor)
      .arg(kVersionRevision);
}

Form1::Form1(WindowServices services)
    : ui_(std::make_unique<Ui::Form1>()),
      message_boxes_(services.message_boxes ? std::move(services.message_boxes)
                                            : std::make_unique<ModalMessageBoxes>()),
      volumes_(services.volumes ? std::move(services.volumes) : std::make_unique<MountedVolumes>()),
      shell_(services.shell ? std::move(services.shell) : std::make_unique<DesktopShell>()),
      platform_(services.platform ? std::move(services.platform) : MakeSystemPlatform()) {
  InitResources();
  InstallAccessibleInterfaces();
  setFont(RpButton::ButtonFont());
  ui_->setupUi(this);
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(377, 383);
  QIcon icon;
  for (const char* file :
       {":/icons/slimtag-16.png", ":/icons/slimtag.png", ":/icons/slimtag-48.png"}) {
    icon.addFile(QString::fromLatin1(file));
  }
  setWindowIcon(icon);

  boxes_ = {nullptr,      ui_->Check1,  ui_->Check2,  ui_->Check3,  ui_->Check4,
            ui_->Check5,  ui_->Check6,  ui_->Check7,  ui_->Check8,  ui_->Check9,
            ui_->Check10, ui_->Check11, ui_->Check12, ui_->Check13, ui_->Check14};
  ui_->frm3->hide();
  ui_->frm4->hide();
  ui_->frm2->hide();
  StyleAboutPanel();
  NameFields(*ui_);

  file_panel_ = new FilePanel(ui_->Drive1, ui_->Dir1, ui_->File1, ui_->Command2, ui_->Command3,
                              *volumes_, *message_boxes_, *platform_, this);
  for (const auto& [nav, panel] : Pages()) {
    connect(nav, &RpButton::clicked, this, [this, nav] { NavigationClick(nav); });
    // A screen reader names the panel shown as the button that shows it.
    panel->setAccessibleName(nav->text());
  }
  connect(ui_->Check12, &OptionBox::clicked, this, &Form1::Check12Click);
  connect(ui_->Check13, &OptionBox::clicked, this, &Form1::Check13Click);
  connect(ui_->rpButton8, &RpButton::clicked, this, &Form1::ClearFieldsClick);
  connect(ui_->Command1, &RpButton::clicked, this, &Form1::Command1Click);
  connect(ui_->Label7, &ClickLabel::clicked, this, &Form1::Label7Click);
  connect(ui_->Label5, &ClickLabel::clicked, this, &Form1::Label5Click);
  connect(ui_->Label21, &ClickLabel::clicked, this, &Form1::Label21Click);
  (new PlainToolTips(this))->Watch(this);
  optimise_tip_ = ui_->Command1->toolTip();

  // Timer1 lies on the About panel; it keeps the banner above the window.
  timer1_ = new QTimer(ui_->frm2);
  timer1_->setObjectName(QStringLiteral("Timer1"));
  timer1_->setInterval(25);
  connect(timer1_, &QTimer::timeout, this, &Form1::Timer1Tick);

  // Centred before the load handler, which places the banner against the window; centred again
  // once the window manager's frame is known (see KeepFrameCentred).
  CentreFrame();
  Load();
}

void Form1::CentreFrame() {
  const QScreen* screen = this->screen();
  if (!screen) return;
  QRect frame = frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  move(frame.topLeft());  // a window's position is its frame's
}

// The frame is the window manager's, drawn only after the window is shown: until then the client
// area stands for it. When the frame first differs from what the window was centred with, the
// window is centred again; after that it stays where the user puts it.
void Form1::KeepFrameCentred() {
  if (frame_known_) return;
  const QSize frame = frameGeometry().size();
  if (frame == centred_frame_) return;
  centred_frame_ = frame;
  frame_known_ = frame != size();
  CentreFrame();
}

void Form1::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  KeepFrameCentred();
}

void Form1::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  KeepFrameCentred();
}

// The banner belongs with the window: it goes while the window is minimised and comes back when
// the window is restored, unless a click has dismissed it for the run.
void Form1::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange || !banner_ || banner_->Dismissed()) return;
  if (isMinimized()) {
    banner_->hide();
  } else {
    PlaceBanner();
    banner_->show();
  }
}

void Form1::StyleAboutPanel() {
  // The panel's texts have fixed colours, dark ones: it keeps a light ground of its own, on which
  // they read under a dark theme as well.
  QPalette ground = ui_->frm2->palette();
  ground.setColor(QPalette::Window, QColor(240, 240, 240));
  ground.setColor(QPalette::WindowText, Qt::black);
  ui_->frm2->setPalette(ground);
  ui_->frm2->setAutoFillBackground(true);
  SetTextColour(ui_->Label1, QColor(0, 0, 128));
  QFont bold = ui_->Label1->font();
  bold.setBold(true);
  ui_->Label1->setFont(bold);
  SetTextColour(ui_->Label12, QColor(128, 0, 0));
  SetTextColour(ui_->Label6, QColor(128, 0, 0));
  StyleLink(ui_->Label7);
  StyleLink(ui_->Label5);
  for (QLabel* line :
       std::initializer_list<QLabel*>{ui_->Label7, ui_->Label5, ui_->Label6, ui_->Label4}) {
    FitAroundCentre(line);
  }
  for (QLabel* text : std::initializer_list<QLabel*>{ui_->Label1, ui_->Label2, ui_->Label12,
                                                     ui_->Label25, ui_->Label3, ui_->Label7,
                                                     ui_->Label5, ui_->Label6, ui_->Label4}) {
    FitLines(text);
  }
  ui_->Label21->setCursor(Qt::PointingHandCursor);
  PlaceOver(ui_->Label21, ui_->Label25, kTesterName);
  // The tester's link shows no text of its own: it is the name it lies over.
  ui_->Label21->setAccessibleName(kTesterName);
  MarkAsDecoration(ui_->Image1);
  // The keyboard takes the links as the eye reads them, top down.
  setTabOrder(ui_->Label21, ui_->Label7);
  setTabOrder(ui_->Label7, ui_->Label5);
}

Form1::~Form1() {
  if (busy_) QGuiApplication::restoreOverrideCursor();
  if (running_) qApp->removeEventFilter(this);
}

OptionBox* Form1::Box(int number) const {
  return number >= 1 && number <= kBoxCount ? boxes_[static_cast<std::size_t>(number)] : nullptr;
}

void Form1::Load() {
  for (int box : kStoredBoxes) Box(box)->SetValue(RestoredState(ReadValue(BoxValueName(box))));
  ad_flag_ = ReadValue(QString::fromLatin1(kAdValue));
  run_marker_ = ReadValue(QString::fromLatin1(kRunValue));
  if (run_marker_ != 1) {
    WriteValue(QString::fromLatin1(kRunValue), 1);
    WriteValue(QString::fromLatin1(kAdValue), 1);
  }
  setWindowTitle(WindowTitle());
  ui_->Label1->setText(ProductLine());
  // The file chooser starts on the home folder, reached as the user would: its drive first, then
  // the folder itself (or, where it cannot be read, the nearest one above it); each change runs
  // its list's change handler.
  const QByteArray home_variable = qgetenv("HOME");  // the folder's own bytes, when set
  const QByteArray home =
      home_variable.isEmpty() ? QFile::encodeName(QDir::homePath()) : home_variable;
  file_panel_->ShowStartFolder(home);
  if (ad_flag_ == 1) ShowBanner();
}

void Form1::ShowBanner() {
  banner_ = std::make_unique<Form2>(*shell_);
  PlaceBanner();
  banner_->show();
  timer1_->start();
}

// The timer goes on after the banner is hidden, until the program ends.
void Form1::Timer1Tick() {
  PlaceBanner();
}

void Form1::PlaceBanner() {
  if (banner_) banner_->move(BannerPosition(frameGeometry().topLeft()));
}

void Form1::Unload() {
  for (int box : kStoredBoxes) WriteValue(BoxValueName(box), Box(box)->Value());
  // Shown or hidden, the banner goes with the window, so that no window is left.
  if (ad_flag_ == 1 && banner_) {
    banner_->close();
    banner_.reset();
  }
}

void Form1::closeEvent(QCloseEvent* event) {
  if (running_) {
    // The run holds the folder and a page in hand: the window goes only once the run has ended.
    event->ignore();
    if (!asking_ && !close_when_finished_) AskToStop();
    return;
  }
  Unload();
  event->accept();
}

void Form1::AskToStop() {
  asking_ = true;
  const bool stop = message_boxes_->Ask(this, kStopQuestion);
  asking_ = false;
  if (stop) {
    close_when_finished_ = true;
    run_.RequestStop();
  }
  // The run may have ended while the question was up; its message comes after the answer, not
  // on top of the question, and once the close asked for has been refused, so that the window can
  // close then.
  if (auto finished = std::exchange(finished_meanwhile_, std::nullopt)) {
    QMetaObject::invokeMethod(
        this, [this, result = *std::move(finished)] { RunFinished(result); }, Qt::QueuedConnection);
  }
}

// While a run works, the window's input is dropped before any widget sees it, its window's
// included, so that not even the focus moves; the window's question and message boxes are windows
// of their own.
bool Form1::eventFilter(QObject* watched, QEvent* event) {
  if (running_ && IsUserInput(event->type())) {
    if (watched == windowHandle()) return true;
    if (watched->isWidgetType() && static_cast<QWidget*>(watched)->window() == this) return true;
  }
  return QWidget::eventFilter(watched, event);
}

void Form1::SetRunning(bool running) {
  if (running == running_) return;
  running_ = running;
  if (running) {
    qApp->installEventFilter(this);
  } else {
    qApp->removeEventFilter(this);
  }
}

std::array<Form1::Page, 4> Form1::Pages() const {
  return {{{ui_->rpButton1, ui_->frm1},
           {ui_->rpButton2, ui_->frm3},
           {ui_->rpButton7, ui_->frm4},
           {ui_->rpButton3, ui_->frm2}}};
}

void Form1::NavigationClick(RpButton* clicked) {
  const std::array<Page, 4> pages = Pages();
  const bool about = clicked == ui_->rpButton3;
  ui_->Command1->setEnabled(!about);
  ui_->Command1->setText(about ? ProductLine() : kOptimise);
  // The inactive button shows the product line: a tip offering to optimise would mislead.
  ui_->Command1->setToolTip(about ? QString() : optimise_tip_);
  for (const Page& page : pages) {
    if (page.button != clicked) page.button->setValue(false);
  }
  QWidget* own = nullptr;
  for (const Page& page : pages) {
    if (page.button != clicked) {
      page.panel->hide();
    } else {
      own = page.panel;
    }
  }
  own->show();
  clicked->setValue(true);
}

void Form1::Check12Click() {
  const bool on = ui_->Check12->Value() == 1;
  for (QLineEdit* field :
       {ui_->Text1, ui_->Text2, ui_->Text3, ui_->Text4, ui_->Text5, ui_->Text6}) {
    field->setEnabled(on);
  }
}

void Form1::Check13Click() {
  const bool on = ui_->Check13->Value() == 1;
  for (QLineEdit* field : {ui_->Text13, ui_->Text14, ui_->Text15}) field->setEnabled(on);
}

void Form1::ClearFieldsClick() {
  for (QLineEdit* field : {ui_->Text1, ui_->Text2, ui_->Text3, ui_->Text4, ui_->Text5, ui_->Text6,
                           ui_->Text13, ui_->Text14, ui_->Text15}) {
    field->clear();
  }
}

// The request is read here, whole, before the run starts: the run's thread never touches a widget.
// Until its end is shown the window ignores the user's input, so that the options and the
// selection stay as the run took them.
void Form1::Command1Click() {
  if (running_) return;
  SetBusyPointer(true);
  SetRunning(true);
  run_.Start(Request());
}

void Form1::Label7Click() {
  shell_->Open(QString::fromLatin1(kProgramSite));
}

void Form1::Label5Click() {
  shell_->Open(MailLink(QString::fromLatin1(kMakerMailbox)));
}

void Form1::Label21Click() {
  shell_->Open(MailLink(QString::fromLatin1(kTesterMailbox)));
}

RunRequest Form1::Request() const {
  RunRequest request;
  for (int box = 1; box <= kBoxCount; ++box) {
    if (const OptionBox* option = Box(box)) request.options.box[std::size_t(box)] = option->Value();
  }
  const QLineEdit* find[] = {ui_->Text1, ui_->Text3, ui_->Text5};
  const QLineEdit* replace[] = {ui_->Text2, ui_->Text4, ui_->Text6};
  const QLineEdit* remove[] = {ui_->Text13, ui_->Text14, ui_->Text15};
  for (std::size_t i = 0; i < 3; ++i) {
    request.texts.find[i] = find[i]->text().toStdString();
    request.texts.replace[i] = replace[i]->text().toStdString();
    request.texts.remove[i] = remove[i]->text().toStdString();
  }
  // Each page's new content goes through the one temporary file in the working directory.
  request.temp_file = kTempFileName;
  request.folder = file_panel_->Path().toStdString();
  request.list_folder = request.folder;
  request.listed_folders = file_panel_->Listed();
  const int count = file_panel_->EntryCount();
  request.entries.reserve(std::size_t(count));
  for (int i = 0; i < count; ++i) {
    request.entries.push_back(
        {file_panel_->EntryName(i).toStdString(), file_panel_->EntrySelected(i)});
  }
  return request;
}

void Form1::PageStarted(const std::string& name) {
  // The page's name in the file system's bytes, shown as the file list shows it.
  const std::string_view prefix = kOptimisingFile;
  setWindowTitle(QString::fromUtf8(prefix.data(), static_cast<qsizetype>(prefix.size())) +
                 DisplayName(QByteArray::fromStdString(name)));
}

void Form1::RunFinished(const RunResult& result) {
  if (asking_) {
    finished_meanwhile_ = result;
    return;
  }
  run_.Join();
  SetRunning(false);
  const bool went_through = result.outcome == RunOutcome::kStatistics;
  if (went_through) setWindowTitle(WindowTitle());
  QString shown = QString::fromStdString(result.message);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  message_boxes_->Show(this, shown, result.icon);
  // The pages' sizes and times have changed.
  if (went_through) file_panel_->Refresh();
  SetBusyPointer(false);
  if (std::exchange(close_when_finished_, false)) close();
  emit RunEnded();
}

void Form1::SetBusyPointer(bool busy) {
  if (busy == busy_) return;
  busy_ = busy;
  if (busy) {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QGuiApplication::restoreOverrideCursor();
  }
}

}  // namespace slimtag
