# The Debian package, built from this build tree with CPack's DEB generator:
#   cpack --config CPackConfig.cmake     (in the build folder)
# Everything lands under /usr, the provider's Info.ini under /etc (a conffile).
set(RAVELO_PROVIDER_PID "" CACHE STRING "Partner identifier (PID) in the package's Info.ini")
set(RAVELO_PROVIDER_LINE_TYPE "gmcc" CACHE STRING "Line type (sADSL_Type) in the package's Info.ini")
set(RAVELO_APP_ID net.ravelo.RaveloZent)
set(PKG_SRC ${CMAKE_SOURCE_DIR}/packaging)
set(PKG_GEN ${CMAKE_BINARY_DIR}/packaging)

# The program folder holds the executable and the engine library beside it.
set_target_properties(RaveloZent PROPERTIES INSTALL_RPATH "$ORIGIN")
install(TARGETS RaveloZent RUNTIME DESTINATION ${RAVELO_PROGRAM_SUBDIR})
install(TARGETS zent_softphone LIBRARY DESTINATION ${RAVELO_PROGRAM_SUBDIR} NAMELINK_SKIP)
file(MAKE_DIRECTORY ${PKG_GEN})
file(CREATE_LINK ../${RAVELO_PROGRAM_SUBDIR}/RaveloZent ${PKG_GEN}/${RAVELO_INSTALL_COMMAND} SYMBOLIC)
install(FILES ${PKG_GEN}/${RAVELO_INSTALL_COMMAND} DESTINATION ${CMAKE_INSTALL_BINDIR})

install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/sound DESTINATION ${RAVELO_DATA_SUBDIR}
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/icons DESTINATION ${CMAKE_INSTALL_DATADIR}
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
install(FILES ${PKG_SRC}/${RAVELO_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PKG_SRC}/${RAVELO_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

configure_file(${PKG_SRC}/Info.ini.in ${PKG_GEN}/Info.ini @ONLY NEWLINE_STYLE CRLF)
install(FILES ${PKG_GEN}/Info.ini DESTINATION ${RAVELO_INSTALL_SYSCONF_DIR})

# Debian wants the changelog and the manual page compressed, without timestamps.
foreach(doc changelog ravelozent.1)
  add_custom_command(OUTPUT ${PKG_GEN}/${doc}.gz
    COMMAND gzip -9nc ${PKG_SRC}/${doc} > ${PKG_GEN}/${doc}.gz
    DEPENDS ${PKG_SRC}/${doc} VERBATIM)
endforeach()
add_custom_target(ravelo_package_docs ALL DEPENDS ${PKG_GEN}/changelog.gz ${PKG_GEN}/ravelozent.1.gz)
install(FILES ${PKG_SRC}/copyright ${PKG_GEN}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${RAVELO_PACKAGE_NAME})
install(FILES ${PKG_GEN}/ravelozent.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${RAVELO_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX ${RAVELO_INSTALL_PREFIX})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package-out)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "RaveloZent developers <developers@ravelozent.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "internet telephone client for Ravelo subscribers")
set(CPACK_PACKAGE_DESCRIPTION "RaveloZent is the desktop client of the Ravelo telephone service. A
subscriber logs in with a phone number and a password, then places and
answers calls over the internet, exchanges text messages and orders bridge
calls. It lives in the notification area; its windows are in Chinese.")
# Libraries come from dpkg-shlibdeps; what is loaded at run time is named here:
# the opener of the log and of web pages.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/engine)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "xdg-utils")
# A Chinese desktop: glyphs, the input method's Qt 6 front end, Wayland.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk, fcitx5-frontend-qt6 | ibus, qt6-wayland, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "fcitx5-chinese-addons, gnome-shell-extension-appindicator")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PKG_SRC}/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
