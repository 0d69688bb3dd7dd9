#include <langinfo.h>

#include <QApplication>
#include <clocale>
#include <cstdio>
#include <optional>
#include <string_view>

#include "form1.h"
#include "platform_choice.h"
#include "qt_translation.h"
#include "slimtag_version.h"
#include "x11_display.h"

namespace {

void Complain(const QString& text) {
  std::fprintf(stderr, "slimtag: %s\n", text.toLocal8Bit().constData());
}

bool Utf8(const char* codeset) {
  return qstricmp(codeset, "UTF-8") == 0 || qstricmp(codeset, "utf8") == 0;
}

// Qt wants a UTF-8 character type and, where the environment gives another (C's ASCII where LANG
// is unset, as on a minimal Debian), switches to one itself with a warning at every start. The
// same switch made first, through the variables Qt reads, leaves nothing to warn about; the other
// categories stay as they were.
void UseUtf8CharacterType() {
  std::setlocale(LC_ALL, "");
  if (Utf8(nl_langinfo(CODESET))) return;
  QByteArray name = std::setlocale(LC_CTYPE, nullptr);
  if (const qsizetype dot = name.indexOf('.'); dot != -1) name.truncate(dot);
  if (const qsizetype at = name.indexOf('@'); at != -1) name.truncate(at);
  name += ".UTF-8";
  if (!std::setlocale(LC_CTYPE, name.constData())) {
    name = "C.UTF-8";
    if (!std::setlocale(LC_CTYPE, name.constData())) return;  // Qt says what is wrong
  }
  // LC_ALL, where set, overrides LC_CTYPE for every category.
  qputenv(qEnvironmentVariableIsEmpty("LC_ALL") ? "LC_CTYPE" : "LC_ALL", name);
}

constexpr char kHelp[] =
    "Использование: slimtag [--help] [--version]\n"
    "Открывает окно Slimtag: выберите папку и страницы, отметьте флажки и нажмите\n"
    "«Оптимизировать». Окну нужен графический сеанс X11 или XWayland; без окна\n"
    "страницы обрабатывает slimtag-batch (slimtag-batch --help, man slimtag-batch).\n"
    "\n"
    "  -h, --help     показать эту справку и выйти\n"
    "      --version  показать версию и выйти\n";

// Asked in a terminal for its help or version, the program answers there, as every command
// does, instead of opening the window. Nothing when it is not asked.
std::optional<int> AnswerInTheTerminal(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--version") {
      std::printf("slimtag (Slimtag) %d.%d.%d\n", slimtag::kVersionMajor, slimtag::kVersionMinor,
                  slimtag::kVersionRevision);
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kHelp, stdout);
    } else {
      continue;
    }
    // A closed or full standard output is a failure, as for the batch tool.
    return std::fflush(stdout) == 0 && std::ferror(stdout) == 0 ? 0 : 2;
  }
  return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
  UseUtf8CharacterType();
  if (const std::optional<int> answered = AnswerInTheTerminal(argc, argv)) return *answered;
  const QByteArray platform = slimtag::ChosenPlatform(
      qgetenv("QT_QPA_PLATFORM"), qgetenv("WAYLAND_DISPLAY"), qgetenv("XDG_SESSION_TYPE"));
  if (!platform.isEmpty()) qputenv("QT_QPA_PLATFORM", platform);
  // Said before Qt, which would abort with its own English message.
  const QString no_display =
      slimtag::MissingDisplayReason(qgetenv("QT_QPA_PLATFORM"), qgetenv("DISPLAY"),
                                    qgetenv("WAYLAND_DISPLAY"), slimtag::X11DisplayAnswers);
  if (!no_display.isEmpty()) {
    Complain(no_display);
    return 1;
  }
  QApplication app(argc, argv);
  QGuiApplication::setDesktopFileName(QStringLiteral("slimtag"));
  if (const QString failed = slimtag::InstallQtRussian(app); !failed.isEmpty()) Complain(failed);
  // The window loads as it is made (and shows the banner from the second start on), then
  // appears; the program ends when it is closed, since it closes the banner.
  slimtag::Form1 window;
  window.show();
  return app.exec();
}
