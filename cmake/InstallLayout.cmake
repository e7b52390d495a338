# Where the installed client lives. The executable and its engine library
# share a private program folder, as on Windows; the command on the PATH
# links to it. The client finds these places at run time (platform/user_files),
# so the package is always laid out under RAVELO_INSTALL_PREFIX, whatever
# CMAKE_INSTALL_PREFIX says.
include(GNUInstallDirs)
set(RAVELO_INSTALL_PREFIX /usr CACHE PATH "Prefix of the installed client (the package's)")
set(RAVELO_PACKAGE_NAME ravelozent)
set(RAVELO_INSTALL_COMMAND ${RAVELO_PACKAGE_NAME})
set(RAVELO_PROGRAM_SUBDIR lib/${RAVELO_PACKAGE_NAME})
set(RAVELO_DATA_SUBDIR ${CMAKE_INSTALL_DATADIR}/${RAVELO_PACKAGE_NAME})
set(RAVELO_INSTALL_PROGRAM_DIR ${RAVELO_INSTALL_PREFIX}/${RAVELO_PROGRAM_SUBDIR})
set(RAVELO_INSTALL_DATA_DIR ${RAVELO_INSTALL_PREFIX}/${RAVELO_DATA_SUBDIR})
if(RAVELO_INSTALL_PREFIX STREQUAL "/usr")
  set(RAVELO_INSTALL_SYSCONF_DIR /etc/${RAVELO_PACKAGE_NAME})
else()
  set(RAVELO_INSTALL_SYSCONF_DIR ${RAVELO_INSTALL_PREFIX}/etc/${RAVELO_PACKAGE_NAME})
endif()
set(RAVELO_INSTALL_SEED_INI ${RAVELO_INSTALL_SYSCONF_DIR}/Info.ini)
