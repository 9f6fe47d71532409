# `make deb`: a Debian package of what the install rules put below /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessarine)
set(CPACK_PACKAGE_VENDOR Orvendale)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Orvendale <tessarine@orvendale.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "podcast subscription manager")
set(CPACK_PACKAGE_DESCRIPTION
"Tessarine keeps a list of podcast subscriptions. It checks the feeds for new
episodes and downloads every new one into a folder of its own per podcast
under a base directory of the user's choice, keeping an archive of the
episodes it has seen. It can run unattended at log-on: start minimized,
check every feed, download what is new and quit.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.orvendale.com/tessarine/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own texts (buttons, the folder chooser) in the user's language.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-translations-l10n)
# The desktop's own folder chooser, for desktops whose Qt integration is not
# installed already.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qt6-xdgdesktopportal-platformtheme, qt6-gtk-platformtheme")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
