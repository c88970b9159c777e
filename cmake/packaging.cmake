# Installation and the Debian package. Included at the end of the top
# CMakeLists.txt, once every executable exists.
#
#   cmake --install build --prefix /usr        the programs, the desktop entry,
#                                               the icon, the metainfo, the man pages
#   cmake --build build --target kx_programs && cpack --config build/CPackConfig.cmake
#                                               kx4720r_<version>_<arch>.deb
include(GNUInstallDirs)

set(KX_APP_ID hu.varnel.kx4720r)
set(KX_DATA ${CMAKE_SOURCE_DIR}/data)

# What the package carries, and the target that builds just that: packaging
# needs neither the test suites nor the benchmarks.
set(KX_PROGRAMS kx4720r-config kx4720r-sim)
if(TARGET kx4720r-cli)
  list(APPEND KX_PROGRAMS kx4720r-cli)
endif()
add_custom_target(kx_programs DEPENDS ${KX_PROGRAMS})
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

# The programs' --version, from the project's one version number; the
# window's desktop file name and icon, from the one application id.
foreach(program ${KX_PROGRAMS})
  target_compile_definitions(${program} PRIVATE KX4720R_VERSION="${PROJECT_VERSION}")
endforeach()
target_compile_definitions(kx4720r-config PRIVATE KX4720R_APP_ID="${KX_APP_ID}")

install(TARGETS ${KX_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${KX_DATA}/${KX_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${KX_DATA}/${KX_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
list(TRANSFORM KX_PROGRAMS REPLACE "(.+)" "    <binary>\\1</binary>" OUTPUT_VARIABLE binaries)
list(JOIN binaries "\n" KX_PROVIDED_BINARIES)
configure_file(${KX_DATA}/${KX_APP_ID}.metainfo.xml.in ${CMAKE_BINARY_DIR}/${KX_APP_ID}.metainfo.xml
               @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/${KX_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Man pages go compressed, as Debian keeps them (gzip -9n: no name, no time,
# so the package is the same from one build to the next). Made at configure
# time; editing a page configures again.
foreach(program ${KX_PROGRAMS})
  set(page ${KX_DATA}/man/${program}.1)
  set(packed ${CMAKE_BINARY_DIR}/man/${program}.1.gz)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${page})
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/man)
  execute_process(COMMAND gzip -9nc ${page} OUTPUT_FILE ${packed} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip could not compress ${page}")
  endif()
  install(FILES ${packed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

# The Debian package. Its library dependencies come from what the programs
# actually link (dpkg-shlibdeps). On top: the window's fixed layout needs an
# Arial-metric font, and its pictures are SVG, drawn by Qt's image format
# plugin, which no linked library reveals; the calibration records (kx4720r-cli
# records) reach their databases through Qt SQL's driver plugins, which no
# linked library reveals either.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kx4720r)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Varnel Kft.")
set(CPACK_PACKAGE_CONTACT "Varnel Kft. <kx4720r@varnel.hu>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "configuration and calibration program for the KX4720R signal converter")
set(CPACK_PACKAGE_DESCRIPTION
    "kx4720r-config configures and calibrates the KX4720R DC signal converter over a\n"
    "serial line: it shows the instrument's readings, temperature and status, and\n"
    "reads and writes its input and output types and scales. The factory-level\n"
    "view adds the calibration wizards and the test pages.\n"
    "\n"
    "The package also holds kx4720r-sim, an instrument simulator on a\n"
    "pseudo-terminal for trying the program without an instrument.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # kx4720r_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.varnel.hu/kx4720r")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Beyond the libraries the programs link: the window's Arial-metric font, the
# pictures' SVG plugin, Qt's own texts in Hungarian (dialog buttons, the file
# dialog) for the window's Hungarian captions, and Qt SQL's drivers for the
# calibration records, which are loaded at run time.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "fonts-liberation2, libqt6svg6, qt6-translations-l10n, libqt6sql6-sqlite, libqt6sql6-psql")
include(CPack)
