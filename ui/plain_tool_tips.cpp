#include "plain_tool_tips.h"

#include <QEvent>
#include <QHelpEvent>
#include <QToolTip>
#include <QWidget>

namespace slimtag {

void PlainToolTips::Watch(QWidget* root) {
  if (!root->toolTip().isEmpty()) root->installEventFilter(this);
  for (QWidget* child : root->findChildren<QWidget*>()) {
    if (!child->toolTip().isEmpty()) child->installEventFilter(this);
  }
}

bool PlainToolTips::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::ToolTip) return false;
  auto* widget = qobject_cast<QWidget*>(watched);
  if (!widget || widget->toolTip().isEmpty()) return false;
  const auto* help = static_cast<QHelpEvent*>(event);
  QToolTip::showText(help->globalPos(),
                     QStringLiteral("<p style='white-space:pre'>") +
                         widget->toolTip().toHtmlEscaped() + QStringLiteral("</p>"),
                     widget);
  return true;
}

}  // namespace slimtag
