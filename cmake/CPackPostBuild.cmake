# Run by cpack once the packages are made: the Debian package's members get dpkg-deb's mode
# whatever the umask of the user who runs cpack.
set(_slimtag_debs ${CPACK_PACKAGE_FILES})
list(FILTER _slimtag_debs INCLUDE REGEX "\\.deb$")
if(_slimtag_debs)
  execute_process(COMMAND sh "${CPACK_SLIMTAG_MEMBER_MODES}" ${_slimtag_debs}
                  COMMAND_ERROR_IS_FATAL ANY)
endif()
