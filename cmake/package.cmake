# The Debian package: `cpack -G DEB` in the release build (`make package`). Its library
# dependencies are read from the programs themselves; the ones below are loaded at run time.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarvolo)
set(CPACK_PACKAGE_VENDOR "Tarvolo Software")
set(CPACK_PACKAGE_CONTACT "The Tarvolo developers <support@tarvolo.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "catalogue of every file on the chosen drives")
set(CPACK_PACKAGE_DESCRIPTION
  "Tarvolo walks the drives you pick and lists every file on them in one grid: long and\n"
  "short name, folder, three dates, size and extension. Sort the list six ways, jump to a\n"
  "name, step through files that share a name, save it and open it later, print it, and\n"
  "copy, move, rename or delete a file from it. The trv command lists the same records\n"
  "on the command line.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://tarvolo.example)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's window-system plugins and the fonts the windows ask for by their older names.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-liberation")
include(CPack)
