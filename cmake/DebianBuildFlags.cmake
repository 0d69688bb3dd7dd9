# Debian's hardening flags (fortify, stack protector, relro, bind-now) and a reproducible build:
# the source and build folders are mapped out of the objects, and the steps that stamp times
# (Qt's resource compiler) take SOURCE_DATE_EPOCH, by default the last commit's time. On for the
# package's build (the default preset); the test, sanitizer and fuzz presets build the same
# sources without them, since fortify makes glibc warn about every unchecked result the tests
# leave on purpose.
option(SLIMTAG_DEBIAN_FLAGS "Build with Debian's hardening flags, reproducibly" ON)

if(SLIMTAG_DEBIAN_FLAGS AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang"
   AND NOT CMAKE_CXX_FLAGS MATCHES "sanitize")
  # hardening=+all adds bind-now to the defaults. Debian's optimisation, debugging and prefix map
  # (made for the current folder) are left out: the build type and the maps below give them.
  find_program(DPKG_BUILDFLAGS dpkg-buildflags)
  if(DPKG_BUILDFLAGS)
    foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
      execute_process(
        COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                ${DPKG_BUILDFLAGS} --get ${kind}
        OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
      separate_arguments(flags UNIX_COMMAND "${flags}")
      list(FILTER flags EXCLUDE REGEX "^-(g.*|O.*|f(file|debug|macro)-prefix-map=.*|Wformat|Wdate-time)$")
      set(SLIMTAG_${kind} ${flags})
    endforeach()
  else()
    set(SLIMTAG_CPPFLAGS -D_FORTIFY_SOURCE=2)
    set(SLIMTAG_CXXFLAGS -fstack-protector-strong -fstack-clash-protection -Werror=format-security)
    set(SLIMTAG_LDFLAGS -Wl,-z,relro -Wl,-z,now)
  endif()
  # Fortify needs the optimiser; a debug build would only warn that it is off.
  if(CMAKE_BUILD_TYPE STREQUAL "Debug" OR CMAKE_BUILD_TYPE STREQUAL "")
    list(FILTER SLIMTAG_CPPFLAGS EXCLUDE REGEX "^-D_FORTIFY_SOURCE")
  endif()
  add_compile_options(${SLIMTAG_CPPFLAGS} ${SLIMTAG_CXXFLAGS})
  add_link_options(${SLIMTAG_LDFLAGS})
  string(JOIN " " shown ${SLIMTAG_CPPFLAGS} ${SLIMTAG_CXXFLAGS} ${SLIMTAG_LDFLAGS})
  message(STATUS "Debian build flags: ${shown}")

  # Where a file lies in the build folder the second map applies, being the later one.
  add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=
                      -ffile-prefix-map=${PROJECT_BINARY_DIR}/=)
endif()

# Generated sources (Qt's resources, the gzipped manual pages and changelog) are made with a
# UTF-8 locale, which spares Qt's tools their warning where LANG is unset, and with
# SOURCE_DATE_EPOCH for the times they record.
set_property(GLOBAL PROPERTY RULE_LAUNCH_CUSTOM
             "${PROJECT_SOURCE_DIR}/cmake/build-step-env.sh ${PROJECT_SOURCE_DIR}")
