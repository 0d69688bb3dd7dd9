#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QTest>
#include <set>

#include "form2.h"
#include "rp_button.h"
#include "window_fixture.h"

namespace slimtag {
namespace {

// The window as assistive technology sees it, through Qt's accessibility interfaces.
class AccessibilityTest : public WindowTest {
 protected:
  static QAccessibleInterface* Interface(QObject* object) {
    return QAccessible::queryAccessibleInterface(object);
  }
  // Every interface below the root, depth first.
  static void Walk(QAccessibleInterface* root, std::vector<QAccessibleInterface*>* seen) {
    for (int i = 0; i < root->childCount(); ++i) {
      QAccessibleInterface* child = root->child(i);
      if (!child) continue;
      seen->push_back(child);
      Walk(child, seen);
    }
  }
  std::vector<QAccessibleInterface*> Tree(QWidget* window) {
    std::vector<QAccessibleInterface*> seen;
    Walk(Interface(window), &seen);
    return seen;
  }
};

TEST_F(AccessibilityTest, EveryControlIsNamedAsItsCaptionOrLabel) {
  struct Case {
    const char* widget;
    QAccessible::Role role;
    const char* name;
  };
  const Case kCases[] = {
      {"rpButton1", QAccessible::Button, "Файлы"},
      {"Command2", QAccessible::Button, "Выделить все"},
      {"Dir1", QAccessible::List, "Папки"},
      {"File1", QAccessible::List, "Файлы"},
      {"Check6", QAccessible::CheckBox, "Создать резервную копию"},
      {"Command3", QAccessible::Button, "Очистить все: снять выделение файлов"},
      {"Text1", QAccessible::EditableText, "Заменить, пара 1"},
      {"Text2", QAccessible::EditableText, "на, пара 1"},
      {"Text3", QAccessible::EditableText, "Заменить, пара 2"},
      {"Text4", QAccessible::EditableText, "на, пара 2"},
      {"Text5", QAccessible::EditableText, "Заменить, пара 3"},
      {"Text6", QAccessible::EditableText, "на, пара 3"},
      {"Text13", QAccessible::EditableText, "Удалить, текст 1"},
      {"Text14", QAccessible::EditableText, "Удалить, текст 2"},
      {"Text15", QAccessible::EditableText, "Удалить, текст 3"},
      {"rpButton8", QAccessible::Button, "Очистить все тексты"},
      {"frm1", QAccessible::Pane, "Файлы"},
      {"frm3", QAccessible::Pane, "Параметры"},
      {"frm4", QAccessible::Pane, "Замена"},
      {"frm2", QAccessible::Pane, "О программе"},
      {"Label7", QAccessible::Link, "www.slimtag.example"},
      {"Label5", QAccessible::Link, "e-mail: slimtag@velmora-soft.example"},
      {"Label21", QAccessible::Link, "Арсению Гаврилову"},
  };
  Start();
  // The window is a window (a frame to a screen reader) named by its title.
  EXPECT_EQ(Interface(window_.get())->role(), QAccessible::Window);
  EXPECT_EQ(Interface(window_.get())->text(QAccessible::Name), QStringLiteral("Slimtag v2.5"));
  const std::vector<QAccessibleInterface*> tree = Tree(window_.get());
  for (const Case& c : kCases) {
    QAccessibleInterface* control = Interface(Find(c.widget));
    ASSERT_NE(control, nullptr) << c.widget;
    EXPECT_EQ(control->role(), c.role) << c.widget;
    EXPECT_EQ(control->text(QAccessible::Name), QString::fromUtf8(c.name)) << c.widget;
    EXPECT_NE(std::find(tree.begin(), tree.end(), control), tree.end()) << c.widget;
  }
  // Nothing a user can reach is left unnamed.
  const std::set<QAccessible::Role> kControls = {QAccessible::Button,       QAccessible::CheckBox,
                                                 QAccessible::EditableText, QAccessible::ComboBox,
                                                 QAccessible::List,         QAccessible::Link};
  int controls = 0;
  for (QAccessibleInterface* node : tree) {
    if (!kControls.count(node->role())) continue;
    ++controls;
    EXPECT_FALSE(node->text(QAccessible::Name).isEmpty())
        << qPrintable(node->object() ? node->object()->objectName() : QString());
  }
  EXPECT_GE(controls, 36);
}

// The separator lines and the About panel's icon only decorate: they are not in the tree.
TEST_F(AccessibilityTest, DecorationIsHiddenFromAssistiveTechnology) {
  Start();
  std::set<QObject*> shown;
  for (QAccessibleInterface* node : Tree(window_.get())) shown.insert(node->object());
  for (const char* line :
       {"rpButton4", "rpButton5", "rpButton6", "rpButton9", "rpButton10", "rpButton11"}) {
    auto* separator = Find<RpButton>(line);
    ASSERT_NE(separator, nullptr);
    EXPECT_TRUE(separator->IsSeparator()) << line;
    EXPECT_EQ(shown.count(separator), 0u) << line;
  }
  EXPECT_EQ(shown.count(Find("Image1")), 0u);
  // The controls beside them stay.
  for (const char* control : {"rpButton2", "Check6", "Label1", "Label4", "frm2"}) {
    EXPECT_EQ(shown.count(Find(control)), 1u) << control;
  }
}

TEST_F(AccessibilityTest, TheBannerIsALinkNamedAsThePictureReads) {
  WriteStoreFile("[General]\nad=1\nrun=1\n");
  Start();
  Form2* banner = window_->Banner();
  ASSERT_NE(banner, nullptr);
  EXPECT_EQ(Interface(banner)->text(QAccessible::Name),
            QStringLiteral("Velmora Soft: Программы для веб-мастеров"));
  const std::vector<QAccessibleInterface*> tree = Tree(banner);
  ASSERT_EQ(tree.size(), 1u);
  EXPECT_EQ(tree[0]->role(), QAccessible::Link);
  EXPECT_EQ(tree[0]->text(QAccessible::Name), QStringLiteral("www.velmora-soft.example"));
}

// Tab reaches the three links of the About panel in reading order; Return, Space or a screen
// reader's press opens each one's address.
TEST_F(AccessibilityTest, TheAboutLinksAreReachedWithTabAndOpenedFromTheKeyboard) {
  Start();
  Click("rpButton3");
  window_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  Find("rpButton3")->setFocus();
  std::vector<QString> reached;
  for (int i = 0; i < 8; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    reached.push_back(QApplication::focusWidget()->objectName());
  }
  // The navigation buttons come round again after the links (Command1 is inactive).
  const std::vector<QString> expected = {"Label21",   "Label7",    "Label5",    "rpButton1",
                                         "rpButton2", "rpButton7", "rpButton3", "Label21"};
  EXPECT_EQ(reached, expected);

  struct Case {
    const char* link;
    Qt::Key key;
    const char* address;
  };
  const Case kCases[] = {
      {"Label21", Qt::Key_Return, "mailto:arseny@gavrilov.example?Subject=Slimtag v2.5.22"},
      {"Label7", Qt::Key_Space, "http://www.slimtag.example/"},
      {"Label5", Qt::Key_Enter, "mailto:slimtag@velmora-soft.example?Subject=Slimtag v2.5.22"},
  };
  for (const Case& c : kCases) {
    opened_.clear();
    QTest::keyClick(Find(c.link), c.key);
    QAccessibleActionInterface* actions = Interface(Find(c.link))->actionInterface();
    ASSERT_NE(actions, nullptr) << c.link;
    ASSERT_TRUE(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
    actions->doAction(QAccessibleActionInterface::pressAction());
    const QString address = QString::fromUtf8(c.address);
    EXPECT_EQ(opened_, (std::vector<QString>{address, address})) << c.link;
  }
  EXPECT_TRUE(Find("frm2")->isVisible());
}

}  // namespace
}  // namespace slimtag
