# The Debian package (cpack -G DEB, as scripts/package.sh runs it). Its Depends come from dpkg-shlibdeps; it has no
# maintainer scripts: the icon cache and menus are refreshed by the triggers of hicolor-icon-theme and
# desktop-file-utils, and nothing in a user's home is created or removed by installing or removing it.
set(CPACK_PACKAGE_NAME kestrow)
set(CPACK_PACKAGE_VENDOR "The Kestrow developers")
set(CPACK_PACKAGE_CONTACT "The Kestrow developers <kestrow@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tray monitor announcing new tasks from task-bounty sites")
# Lines of at most 80 characters, as Debian's tools show them.
set(CPACK_PACKAGE_DESCRIPTION "Kestrow sits in the desktop's notification area and, at an interval you
choose, fetches the task lists of the task-bounty site categories you follow.
It announces the tasks it has not seen before in a small corner popup with
title and price (a click opens the task in the browser) and keeps a local
history that can be searched by site and by words, Chinese ones too.
.
Alert rules (required and excluded words, a minimum budget, quiet hours)
choose what is announced, and the tray tells when a followed site stops
answering. kestrow-catalog writes and tries site catalogues.")
set(CPACK_PACKAGE_HOMEPAGE_URL ${KESTROW_HOMEPAGE})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${KESTROW_PACKAGE_RELEASE})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Found at run time rather than linked: Qt's Chinese texts and a font with Chinese glyphs.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, fonts-wqy-microhei | fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "gnome-shell-extension-appindicator")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
