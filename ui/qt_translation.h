#pragma once

#include <QString>

class QCoreApplication;

namespace slimtag {

// Qt's own translations folder.
QString QtTranslationsFolder();

// Loads Qt's Russian texts for its own widgets (qtbase_ru.qm from the folder: the context menus
// of the text fields and scroll bars, the standard buttons) into the application, whatever the
// user's locale: the program speaks Russian throughout. Returns an empty text when they are
// loaded, otherwise why not, in Russian and naming the file; the window then still works with
// Qt's English texts.
QString InstallQtRussian(QCoreApplication& app, const QString& folder = QtTranslationsFolder());

}  // namespace slimtag
