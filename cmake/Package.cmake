# `make deb`: a Debian package of what `make install` puts in place, under /usr,
# with its dependencies worked out from the shared libraries the programs use.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessaly)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tessaly Developers")
set(CPACK_PACKAGE_CONTACT "Tessaly Developers <tessaly@example.org>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CPACK_PACKAGE_CONTACT})
set(CPACK_PACKAGE_HOMEPAGE_URL ${TESSALY_HOMEPAGE})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "local, searchable archive of your Flickr photostream")
set(CPACK_PACKAGE_DESCRIPTION [=[
Tessaly keeps a local, searchable archive of your Flickr photostream on
your Linux desktop. Connect an account through Flickr's own sign-in page
in your browser, and Tessaly downloads every picture record, your sets,
permissions and EXIF data into a SQLite archive, downloads the picture
files, and lets you search, view, export and delete them offline. Edits
of titles, descriptions, tags, dates, visibility, licence and location
are sent back to Flickr.

tessaly-cli runs the same accounts, archives and downloads from scripts;
the systemd user timer tessaly-backup.timer runs it every night.
]=])
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# xdg-open opens Flickr's authorization page, xdg-mime makes tessaly the
# handler of tessaly:// addresses.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# The install rules see the real prefix (/usr) and stage through DESTDIR, so
# that what they write (the backup unit's path to tessaly-cli) is right.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_GENERATOR "")
# cpack installs without building first: `make deb` builds, and the package
# check runs on a finished build.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
include(CPack)
