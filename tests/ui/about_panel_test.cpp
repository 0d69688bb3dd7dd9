#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QTest>
#include <QUrl>
#include <QUrlQuery>
#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "module1.h"
#include "rp_button.h"
#include "window_fixture.h"

namespace slimtag {
namespace {

class AboutPanelTest : public WindowTest {
 protected:
  void ShowAbout() {
    Start();
    Click("rpButton3");
    ASSERT_TRUE(Find("frm2")->isVisible());
  }
  static QColor TextColour(const QLabel* label) {
    return label->palette().color(QPalette::WindowText);
  }
  // Where the form places a label, as tall as its lines where their face's are taller; for a
  // line of text wider than the form's box, a box just as wide as the text about the same centre.
  static void ExpectPlaced(const QLabel* label, const QRect& form_place) {
    const QRect place = label->geometry();
    const std::string name = label->objectName().toStdString();
    EXPECT_EQ(place.top(), form_place.top()) << name;
    EXPECT_GE(place.height(), form_place.height()) << name;
    const bool one_line = !label->wordWrap() && !label->text().contains(QLatin1Char('\n'));
    if (one_line && label->fontMetrics().horizontalAdvance(label->text()) > form_place.width()) {
      EXPECT_LE(std::abs(place.center().x() - form_place.center().x()), 1) << name;
    } else {
      EXPECT_EQ(place.left(), form_place.left()) << name;
      EXPECT_EQ(place.width(), form_place.width()) << name;
    }
  }
};

struct Text {
  const char* label;
  QRect place;
  const char* text;  // nullptr: worded by the program's maker, not fixed here
  QColor colour;
};

const QColor kBlack(0, 0, 0);
const QColor kNavy(0, 0, 128);
const QColor kDarkRed(128, 0, 0);
const QColor kLinkBlue(0, 0, 192);

const Text kTexts[] = {
    {"Label1", {24, 36, 311, 21}, "Slimtag v2.5.22", kNavy},
    {"Label2",
     {18, 68, 327, 26},
     "Программа для оптимизации кода HTML файлов, после их создания в редакторах WYSIWYG (!).",
     kBlack},
    {"Label12",
     {24, 99, 313, 57},
     "Если Вы хотите разместить рекламу или баннер в данной программе, со своими предложениями "
     "обращайтесь на электронный адрес автора. Все подробности на сайте программы.",
     kDarkRed},
    {"Label25", {32, 155, 297, 28}, nullptr, kBlack},
    {"Label3", {32, 187, 295, 29}, nullptr, kBlack},
    {"Label6", {116, 255, 127, 13}, nullptr, kDarkRed},
    {"Label4", {161, 284, 36, 13}, "Adware", kBlack},
};

TEST_F(AboutPanelTest, TextsStandInTheirPlacesInTheirColours) {
  ShowAbout();
  for (const Text& t : kTexts) {
    auto* label = Find<QLabel>(t.label);
    ASSERT_NE(label, nullptr);
    ExpectPlaced(label, t.place);
    if (t.text) {
      EXPECT_EQ(label->text(), QString::fromUtf8(t.text)) << t.label;
    }
    EXPECT_FALSE(label->text().isEmpty()) << t.label;
    EXPECT_EQ(TextColour(label), t.colour) << t.label;
    EXPECT_TRUE(label->alignment() & Qt::AlignHCenter) << t.label;
    EXPECT_TRUE(label->isVisible()) << t.label;
  }
  EXPECT_TRUE(Find<QLabel>("Label1")->font().bold());
  for (const char* line : {"rpButton10", "rpButton11"}) {
    EXPECT_EQ(Find<RpButton>(line)->buttonStyle(), RpButton::kHorizontalSeparator) << line;
  }
}

// WCAG's contrast ratio of two colours, from 1 (none) to 21 (black on white).
double Contrast(const QColor& a, const QColor& b) {
  const auto luminance = [](const QColor& colour) {
    const auto linear = [](double c) {
      return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
           0.0722 * linear(colour.blueF());
  };
  const double la = luminance(a), lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Under a dark theme the panel keeps its own light ground, on which its fixed colours read, as
// drawn on the screen.
TEST_F(AboutPanelTest, ItsColoursReadUnderADarkTheme) {
  const QPalette light = QApplication::palette();
  QPalette dark = light;
  for (auto [role, colour] : {std::pair{QPalette::Window, QColor(30, 30, 30)},
                              {QPalette::WindowText, QColor(230, 230, 230)},
                              {QPalette::Base, QColor(20, 20, 20)},
                              {QPalette::Text, QColor(230, 230, 230)},
                              {QPalette::Button, QColor(45, 45, 45)},
                              {QPalette::ButtonText, QColor(230, 230, 230)}}) {
    dark.setColor(role, colour);
  }
  QApplication::setPalette(dark);
  ShowAbout();
  auto* panel = Find("frm2");
  const QImage drawn = panel->grab().toImage();
  QApplication::setPalette(light);
  // Where nothing but the ground is drawn: beside the icon, above the product line.
  const QColor ground = drawn.pixelColor(panel->width() - 20, 10);
  EXPECT_GT(ground.lightness(), 200);
  for (const Text& t : kTexts) {
    const auto* label = Find<QLabel>(t.label);
    EXPECT_EQ(TextColour(label), t.colour) << t.label;
    EXPECT_GE(Contrast(t.colour, ground), 4.5) << t.label;
  }
  for (const char* link : {"Label7", "Label5"}) {
    EXPECT_GE(Contrast(TextColour(Find<QLabel>(link)), ground), 4.5) << link;
  }
}

// A text that does not fit its box is cut off on the screen.
TEST_F(AboutPanelTest, EveryTextFitsItsBox) {
  ShowAbout();
  for (const char* name : {"Label1", "Label2", "Label12", "Label25", "Label3", "Label7", "Label5",
                           "Label6", "Label4"}) {
    auto* label = Find<QLabel>(name);
    ASSERT_NE(label, nullptr);
    const QRect box = label->contentsRect();
    const int flags = int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
    const QRect needed = label->fontMetrics().boundingRect(box, flags, label->text());
    EXPECT_LE(needed.width(), box.width()) << name;
    EXPECT_LE(needed.height(), box.height()) << name;
  }
}

TEST_F(AboutPanelTest, LinksAreBlueUnderlinedHandPointedAndCentredWhereTheFormPutsThem) {
  struct Link {
    const char* label;
    QRect form_place;
    const char* tip;
  };
  const Link kLinks[] = {{"Label7", {136, 217, 88, 13}, " Посетите сайт программы!!! "},
                         {"Label5", {130, 232, 99, 13}, " Пишите!!! "}};
  ShowAbout();
  for (const Link& link : kLinks) {
    auto* label = Find<QLabel>(link.label);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(TextColour(label), kLinkBlue) << link.label;
    EXPECT_TRUE(label->font().underline()) << link.label;
    EXPECT_EQ(label->cursor().shape(), Qt::PointingHandCursor) << link.label;
    EXPECT_EQ(label->toolTip(), QString::fromUtf8(link.tip)) << link.label;
    ExpectPlaced(label, link.form_place);
  }
  EXPECT_EQ(Find<QLabel>("Label7")->text(), QStringLiteral("www.slimtag.example"));
  EXPECT_EQ(Find<QLabel>("Label5")->text(), QStringLiteral("e-mail: slimtag@velmora-soft.example"));
  auto* thanks = Find<QLabel>("Label21");
  EXPECT_EQ(thanks->toolTip(), QStringLiteral(" Special Thank's ;-) "));
  EXPECT_EQ(thanks->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_TRUE(thanks->text().isEmpty());
  EXPECT_FALSE(thanks->autoFillBackground());
}

TEST_F(AboutPanelTest, TheIconIsTheProgramsIcon) {
  ShowAbout();
  auto* image = Find<QLabel>("Image1");
  const QImage shown = image->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
  const QImage icon =
      window_->windowIcon().pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
  EXPECT_EQ(shown.size(), QSize(32, 32));
  EXPECT_FALSE(shown.isNull());
  EXPECT_EQ(shown, icon);
}

// The three links work while the optimise button is inactive; each opens its own address and
// nothing else happens.
TEST_F(AboutPanelTest, EachLinkHandsItsAddressToTheShell) {
  struct Case {
    const char* label;
    const char* address;
  };
  const Case kCases[] = {
      {"Label7", "http://www.slimtag.example/"},
      {"Label5", "mailto:slimtag@velmora-soft.example?Subject=Slimtag v2.5.22"},
      {"Label21", "mailto:arseny@gavrilov.example?Subject=Slimtag v2.5.22"},
  };
  ShowAbout();
  EXPECT_FALSE(Find("Command1")->isEnabled());
  for (const Case& c : kCases) {
    opened_.clear();
    Click(c.label);
    EXPECT_EQ(opened_, std::vector<QString>{QString::fromUtf8(c.address)}) << c.label;
    EXPECT_TRUE(Find("frm2")->isVisible()) << c.label;
  }
  EXPECT_TRUE(messages_.empty());
  EXPECT_EQ(window_->windowTitle(), QStringLiteral("Slimtag v2.5"));
}

TEST_F(AboutPanelTest, ALinkNeedsPressAndReleaseOverIt) {
  ShowAbout();
  auto* link = Find<QLabel>("Label7");
  QTest::mousePress(link, Qt::LeftButton, {}, link->rect().center());
  QTest::mouseRelease(link, Qt::LeftButton, {}, link->rect().bottomRight() + QPoint(20, 20));
  QTest::mouseClick(link, Qt::RightButton, {}, link->rect().center());
  EXPECT_TRUE(opened_.empty());
}

// The click area lies over the tester's name, the last two words of the thanks' first line, as
// they come out on the screen.
TEST_F(AboutPanelTest, TheTestersClickAreaLiesOverTheName) {
  ShowAbout();
  auto* thanks = Find<QLabel>("Label25");
  auto* area = Find<QLabel>("Label21");
  ASSERT_TRUE(thanks->text()
                  .split(QLatin1Char('\n'))
                  .value(0)
                  .endsWith(QStringLiteral("Арсению Гаврилову")));
  area->hide();  // only the text itself is drawn
  const QImage drawn = thanks->grab().toImage();
  area->show();
  const int line = thanks->fontMetrics().lineSpacing();
  // Columns with ink on the first line, gathered into words.
  std::vector<std::pair<int, int>> words;
  int gap = 99;
  for (int x = 0; x < drawn.width(); ++x) {
    bool ink = false;
    for (int y = 0; y < line && y < drawn.height(); ++y) ink |= qGray(drawn.pixel(x, y)) < 128;
    if (!ink) {
      ++gap;
      continue;
    }
    if (gap >= 3) words.push_back({x, x});
    words.back().second = x;
    gap = 0;
  }
  ASSERT_EQ(words.size(), 4u);  // "Отдельное спасибо Арсению Гаврилову"
  const QRect over = area->geometry().translated(-thanks->pos());
  EXPECT_LE(over.left(), words[2].first);
  EXPECT_GE(over.right(), words[3].second);
  EXPECT_GE(over.left(), words[1].second);
  EXPECT_LE(over.right(), words[3].second + 3);
  EXPECT_LE(over.top(), 1);
  EXPECT_GE(over.bottom(), line - 3);
  Click("Label21");
  EXPECT_EQ(opened_.size(), 1u);
}

// The desktop gets the address whole: the mail link's subject, blank and all, stays its query.
class DesktopRecorder : public QObject {
  Q_OBJECT

 public:
  std::vector<QUrl> urls;

 public slots:
  void Handle(const QUrl& url) { urls.push_back(url); }
};

TEST(OpenWithShellTest, HandsTheAddressToTheDesktopWhole) {
  DesktopRecorder desktop;
  for (const char* scheme : {"http", "mailto"}) {
    QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &desktop, "Handle");
  }
  EXPECT_TRUE(OpenWithShell(QStringLiteral("http://www.slimtag.example/")));
  EXPECT_TRUE(
      OpenWithShell(QStringLiteral("mailto:arseny@gavrilov.example?Subject=Slimtag v2.5.22")));
  for (const char* scheme : {"http", "mailto"}) {
    QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
  }
  ASSERT_EQ(desktop.urls.size(), 2u);
  EXPECT_EQ(desktop.urls[0], QUrl(QStringLiteral("http://www.slimtag.example/")));
  const QUrl& mail = desktop.urls[1];
  EXPECT_EQ(mail.scheme(), QStringLiteral("mailto"));
  EXPECT_EQ(mail.path(), QStringLiteral("arseny@gavrilov.example"));
  EXPECT_EQ(QUrlQuery(mail).queryItemValue(QStringLiteral("Subject"), QUrl::FullyDecoded),
            QStringLiteral("Slimtag v2.5.22"));
}

}  // namespace
}  // namespace slimtag

#include "about_panel_test.moc"
