# Where the programs go when installed, and the Debian package cpack makes of
# the installed tree (scripts/package).
install(TARGETS quillcast-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(QUILLCAST_BUILD_GUI)
    install(TARGETS quillcast RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

set(CPACK_PACKAGE_NAME quillcast)
set(CPACK_PACKAGE_VENDOR "The Quillcast developers")
set(CPACK_PACKAGE_VERSION ${QUILLCAST_RELEASE})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "personalised bulk e-mail")
set(CPACK_PACKAGE_DESCRIPTION
"Quillcast sends personalised bulk e-mail. Each mailing is one document:
a database of recipients with the columns the user chooses, a list of
addresses that are never written to, and one message whose merge tags
stand for the fields of a record. Messages go out through the user's own
SMTP servers, one after another with a pause between them, and every
answer is logged. quillcast-cli does the same from the command line.")
set(CPACK_PACKAGE_CONTACT "The Quillcast developers <packages@quillcast.example>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://quillcast.example/")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION mail)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link come from dpkg-shlibdeps; what they only
# start or load at run time is named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gnome-keyring")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "msmtp-mta")
if(QUILLCAST_BUILD_GUI)
    # The icon, menu and file-type caches are refreshed by these packages'
    # triggers when ours is installed.
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "${CPACK_DEBIAN_PACKAGE_RECOMMENDS}, hicolor-icon-theme, shared-mime-info, desktop-file-utils")
    # Loaded as plugins: Wayland sessions, and TIFF for the images the
    # settings keep (PNG stands in without it).
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "${CPACK_DEBIAN_PACKAGE_RECOMMENDS}, qt6-wayland, qt6-image-formats-plugins")
endif()
include(CPack)
