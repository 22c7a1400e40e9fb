# The Debian package: `cpack` in a build folder (scripts/package.sh) makes
# tidemark_<version>_amd64.deb of what `cmake --install` installs, under /usr, with its
# dependencies found by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tidemark)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Kestrelwick)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Keep two folders in step")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Tidemark synchronizes a source folder with a destination folder: Safe Mode copies only\n"
    "missing files, Normal also replaces files whose source is newer, Backup replaces every\n"
    "file. Saved configurations can also run without the window, from a timer or cron.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Kestrelwick <tidemark@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://tidemark.example.org)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
