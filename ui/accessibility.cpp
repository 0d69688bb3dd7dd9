#include "accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFrame>
#include <QVariant>

#include "click_label.h"

namespace slimtag {

namespace {

constexpr char kDecoration[] = "slimtagDecoration";

bool IsDecoration(const QAccessibleInterface* child) {
  const QObject* object = child ? child->object() : nullptr;
  return object && object->property(kDecoration).toBool();
}

// A window or panel as Qt shows it, its decoration left out of its children.
class WithoutDecoration : public QAccessibleWidget {
 public:
  using QAccessibleWidget::QAccessibleWidget;

  int childCount() const override { return static_cast<int>(Children().size()); }
  QAccessibleInterface* child(int index) const override { return Children().value(index); }
  int indexOfChild(const QAccessibleInterface* child) const override {
    return static_cast<int>(Children().indexOf(child));
  }

 private:
  QList<QAccessibleInterface*> Children() const {
    QList<QAccessibleInterface*> shown;
    const int all = QAccessibleWidget::childCount();
    for (int i = 0; i < all; ++i) {
      QAccessibleInterface* child = QAccessibleWidget::child(i);
      if (child && !IsDecoration(child)) shown.push_back(child);
    }
    return shown;
  }
};

// A ClickLabel: a link named by its text (or its accessible name, where it shows none of its
// own), pressed as a click presses it.
class AccessibleLink : public QAccessibleWidget {
 public:
  explicit AccessibleLink(ClickLabel* label) : QAccessibleWidget(label, QAccessible::Link) {}

  QString text(QAccessible::Text kind) const override {
    if (kind == QAccessible::Name && widget()->accessibleName().isEmpty()) return Label()->text();
    return QAccessibleWidget::text(kind);
  }
  QStringList actionNames() const override {
    return QStringList(pressAction()) + QAccessibleWidget::actionNames();
  }
  void doAction(const QString& action) override {
    if (action == pressAction()) {
      Label()->Click();
    } else {
      QAccessibleWidget::doAction(action);
    }
  }

 private:
  ClickLabel* Label() const { return static_cast<ClickLabel*>(widget()); }
};

// Qt asks each factory with the object's own class first, then its base classes; answering only
// for the own class keeps Qt's interfaces for every other.
QAccessibleInterface* Factory(const QString& class_name, QObject* object) {
  if (!object || !object->isWidgetType()) return nullptr;
  const QMetaObject* meta = object->metaObject();
  if (class_name != QLatin1String(meta->className())) return nullptr;
  auto* widget = static_cast<QWidget*>(object);
  if (auto* link = qobject_cast<ClickLabel*>(widget)) return new AccessibleLink(link);
  // The window's panels are plain frames, each a pane named as its navigation button; the
  // program's own windows are windows (a screen reader's frame), named by their titles.
  if (meta == &QFrame::staticMetaObject) return new WithoutDecoration(widget, QAccessible::Pane);
  if (meta->superClass() == &QWidget::staticMetaObject &&
      class_name.startsWith(QLatin1String("slimtag::"))) {
    return new WithoutDecoration(widget,
                                 widget->isWindow() ? QAccessible::Window : QAccessible::Client);
  }
  return nullptr;
}

}  // namespace

void MarkAsDecoration(QWidget* widget, bool decoration) {
  widget->setProperty(kDecoration, decoration);
}

void InstallAccessibleInterfaces() {
  static const bool installed = [] {
    QAccessible::installFactory(&Factory);
    return true;
  }();
  (void)installed;
}

}  // namespace slimtag
