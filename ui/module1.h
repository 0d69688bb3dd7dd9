#pragma once

#include <QString>

namespace slimtag {

// Hands a web or mail address to the desktop's "open" action, which starts the user's browser or
// mail program with it. Returns whether the desktop took the address; no caller looks, since
// nothing is reported when it cannot be opened.
bool OpenWithShell(const QString& address);

// Where the window's links go: the desktop, or a recorder in the tests.
class Shell {
 public:
  virtual ~Shell() = default;
  virtual void Open(const QString& address) = 0;
};

class DesktopShell final : public Shell {
 public:
  void Open(const QString& address) override { OpenWithShell(address); }
};

}  // namespace slimtag
