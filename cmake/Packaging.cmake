# The Debian package: `cpack -G DEB` in the build folder makes slimtag_2.5.22_amd64.deb from the
# install rules (the two programs, the menu entry, the icons, the AppStream entry and whatever the
# manual pages install under share/man).
set(CPACK_PACKAGE_NAME "slimtag")
set(CPACK_PACKAGE_VENDOR "Velmora Soft")
set(CPACK_PACKAGE_CONTACT "Velmora Soft <slimtag@velmora-soft.example>")
set(CPACK_PACKAGE_HOMEPAGE_URL "${PROJECT_HOMEPAGE_URL}")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR "DEB")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION "web")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PROJECT_HOMEPAGE_URL}")
# The libraries come from the programs themselves; the rest is what they load at run time: Qt's
# Russian texts for its own widgets, a face with Arial's metrics for the fixed layout, and the
# desktop's "open" action for the links.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation2, xdg-utils")
# The synopsis, then the long description, whose paragraphs an empty line separates.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "shrink web pages written by WYSIWYG editors")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Slimtag makes HTML pages smaller after a WYSIWYG editor has produced them.
It rewrites the chosen pages in place, line by line: blanks at line ends
and beside tag brackets, the space entity, empty paragraph and centre
pairs, logical tags such as <strong>, long colour codes, empty lines and
line breaks go, together with the user's own find-and-replace pairs.
A backup copy of every page can be kept. The passes parse no HTML: they
are fixed-string edits, case-insensitive in Latin and Cyrillic alike.

The package holds the window (slimtag, Russian only) and the batch
front end slimtag-batch, which runs the same optimisation from a shell.

Slimtag уменьшает HTML-страницы, созданные в редакторах WYSIWYG.
Программа переписывает выбранные страницы на месте, строка за строкой:
удаляет пробелы в начале и в конце строк и между тэгами, код пробела
&nbsp;, пустые тэги, пустые строки и переводы строк, заменяет
логические тэги обычными и коды цвета более короткими, выполняет
замены и удаления, заданные пользователем. Перед обработкой можно
создать резервную копию каждой страницы.

Пакет содержит окно программы (slimtag) и пакетный вариант
slimtag-batch для командной строки.")

include(CPack)
