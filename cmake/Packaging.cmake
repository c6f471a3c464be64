# The Debian package (scripts/package.sh): cpack -G DEB over what
# `cmake --install` installs. The runtime dependencies are computed by
# dpkg-shlibdeps from the libraries the programs link, never typed here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ostrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "The Ostrel developers <ostrel-developers@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "publish a local directory tree to a web site over FTP")
set(CPACK_PACKAGE_DESCRIPTION "Ostrel publishes a local directory tree to a web site over FTP: it walks
the tree and uploads every file into the same place below a remote
directory. It can copy only files newer than the remote copy, leave out
directories whose name begins with an underscore, and recode listed text
files from Windows-1251 into KOI8-R. The desktop program has one dialog;
ostrel-publish runs the same publishing run from scripts, cron and CI.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${OSTREL_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own texts (standard buttons, the file dialog) in the user's language;
# without them those few stay English.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-translations-l10n)
set(CPACK_STRIP_FILES ON)
include(CPack)
