# The Debian package: `cpack -G DEB` in the build folder makes slimtag_2.5.22_amd64.deb from the
# install rules (the two programs, the menu entry, the icons, the AppStream entry, the manual pages
# under share/man and the copyright and changelog under share/doc/slimtag).
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
# Russian texts for its own widgets and a face with Arial's metrics for the fixed layout, which
# only Liberation Sans gives (with DejaVu alone two buttons' captions are cut off). Each is named
# by the package that holds its file here (Debian 13 has Liberation 2 in fonts-liberation, Debian
# 12 in fonts-liberation2), not by one release's name. The desktop's "open" action for the links
# is only recommended.
function(slimtag_owner_of file fallback out)
  set(owner ${fallback})
  if(EXISTS "${file}")
    execute_process(COMMAND dpkg-query -S "${file}" OUTPUT_VARIABLE found ERROR_QUIET
                    RESULT_VARIABLE status OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(status EQUAL 0 AND found MATCHES "^([a-z0-9][a-z0-9.+-]*)(:[a-z0-9]+)?: ")
      set(owner ${CMAKE_MATCH_1})
    endif()
  endif()
  set(${out} ${owner} PARENT_SCOPE)
endfunction()
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(SLIMTAG_BUILD_UI)
  find_file(SLIMTAG_LIBERATION_SANS LiberationSans-Regular.ttf
            PATHS /usr/share/fonts/truetype PATH_SUFFIXES liberation2 liberation NO_DEFAULT_PATH)
  slimtag_owner_of("${SLIMTAG_LIBERATION_SANS}" fonts-liberation2 font_package)
  find_package(Qt6 QUIET COMPONENTS Core)
  set(qt_translations ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_TRANSLATIONS})
  slimtag_owner_of(${qt_translations}/qtbase_ru.qm qt6-translations-l10n translations_package)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "${translations_package}, ${font_package}")
endif()
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
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

# Reproducible: the archive's times are SOURCE_DATE_EPOCH, by default the last commit's time, set
# when cpack runs; the folders and the archive's members get Debian's modes whatever the umask.
configure_file(${CMAKE_CURRENT_LIST_DIR}/CPackEnvironment.cmake.in
               ${CMAKE_BINARY_DIR}/CPackEnvironment.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/CPackEnvironment.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/CPackPostBuild.cmake)
set(CPACK_SLIMTAG_MEMBER_MODES ${CMAKE_CURRENT_LIST_DIR}/deb-member-modes.sh)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Stripped as dh_strip does: the compiler's .comment and .note sections go with the symbols.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    foreach(program slimtag slimtag-batch)
      set(path \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\${program}\")
      if(EXISTS \"\${path}\")
        execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
                                --remove-section=.note \"\${path}\" COMMAND_ERROR_IS_FATAL ANY)
      endif()
    endforeach()
  endif()")

include(CPack)
