# Installation and the Debian packages. Included at the end of the top
# CMakeLists.txt, once every executable exists.
#
#   cmake --install build --prefix /usr        the programs, the desktop entry,
#                                               the icon, the metainfo, the man
#                                               pages, the documentation
#   cmake --build build --target kx_programs && cpack --config build/CPackConfig.cmake
#                                               kx4720r_<version>_<arch>.deb (the window),
#                                               kx4720r-cli_..., kx4720r-sim_...
#
# Three packages from one tree, so that a production line's headless machine
# installs the command-line tool without the window's stack:
#   kx4720r       the window, its menu entry, icon, metainfo and manual
#   kx4720r-cli   the command-line tool and its manual (Qt Core only)
#   kx4720r-sim   the instrument simulator, for test benches and training
include(GNUInstallDirs)

set(KX_APP_ID hu.varnel.kx4720r)
set(KX_DATA ${CMAKE_SOURCE_DIR}/data)

# What the packages carry, and the target that builds just that: packaging
# needs neither the test suites nor the benchmarks. Each program's install
# component is named after its package.
set(KX_PROGRAMS kx4720r-config kx4720r-sim)
if(TARGET kx4720r-cli)
  list(APPEND KX_PROGRAMS kx4720r-cli)
endif()
set(kx_package_of_kx4720r-config kx4720r)
set(kx_package_of_kx4720r-cli kx4720r-cli)
set(kx_package_of_kx4720r-sim kx4720r-sim)
add_custom_target(kx_programs DEPENDS ${KX_PROGRAMS})
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

# The programs' --version, from the project's one version number; the
# window's desktop file name and icon, from the one application id.
foreach(program ${KX_PROGRAMS})
  target_compile_definitions(${program} PRIVATE KX4720R_VERSION="${PROJECT_VERSION}")
endforeach()
target_compile_definitions(kx4720r-config PRIVATE KX4720R_APP_ID="${KX_APP_ID}")

# The packages' version: the program's own (the window's caption and
# --version show it, and it stays as it is), then the number of commits in
# the history the tree was built from, so that a package built from a later
# tree installs over an earlier one, then the Debian revision:
# 2013.10.09+259-1. A new commit configures the build again.
find_package(Git QUIET)
set(kx_commits 0)
set(kx_commit unknown)
string(TIMESTAMP kx_commit_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
if(GIT_FOUND)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C
                          ${GIT_EXECUTABLE} log -1 "--date=format:%a, %d %b %Y %H:%M:%S %z"
                          "--format=%h%n%cd"
                  WORKING_DIRECTORY ${CMAKE_SOURCE_DIR} RESULT_VARIABLE failed
                  OUTPUT_VARIABLE head OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(NOT failed)
    execute_process(COMMAND ${GIT_EXECUTABLE} rev-list --count HEAD
                    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR} OUTPUT_VARIABLE kx_commits
                    OUTPUT_STRIP_TRAILING_WHITESPACE)
    string(REPLACE "\n" ";" head "${head}")
    list(GET head 0 kx_commit)
    list(GET head 1 kx_commit_date)
    execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --is-shallow-repository
                            --path-format=absolute --git-path logs/HEAD
                    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR} OUTPUT_VARIABLE git_facts
                    OUTPUT_STRIP_TRAILING_WHITESPACE)
    string(REPLACE "\n" ";" git_facts "${git_facts}")
    list(GET git_facts 0 shallow)
    list(GET git_facts 1 reflog)
    if(shallow STREQUAL "true")
      message(WARNING "A shallow clone: the packages' version counts only the ${kx_commits} "
                      "commits it holds")
    endif()
    if(EXISTS ${reflog})
      set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${reflog})
    endif()
  endif()
endif()
set(KX_DEBIAN_REVISION 1)
set(KX_PACKAGE_VERSION ${PROJECT_VERSION}+${kx_commits})

# Per package, as Debian policy asks: the copyright in the machine-readable
# format, the Debian changelog and the README, compressed as dh_compress
# would (gzip -9n: no name, no time, so a rebuild gives the same bytes).
# Made at configure time; editing one of the sources configures again.
function(kx_gzip source packed)
  execute_process(COMMAND gzip -9nc ${source} OUTPUT_FILE ${packed} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip could not compress ${source}")
  endif()
endfunction()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${CMAKE_SOURCE_DIR}/README.md ${KX_DATA}/changelog.Debian)

set(kx_debian ${CMAKE_BINARY_DIR}/debian)
file(MAKE_DIRECTORY ${kx_debian})
kx_gzip(${CMAKE_SOURCE_DIR}/README.md ${kx_debian}/README.md.gz)
# The changelog is the one of the tree all three packages come from (as a
# Debian source package's is): an entry for this build, then the history of
# the earlier packages (data/changelog.Debian).
file(READ ${KX_DATA}/changelog.Debian history)
string(CONCAT entry
       "kx4720r (${KX_PACKAGE_VERSION}-${KX_DEBIAN_REVISION}) unstable; urgency=medium\n\n"
       "  * Built from commit ${kx_commit} (${kx_commits} commits in its history).\n\n"
       " -- Varnel Kft. <kx4720r@varnel.hu>  ${kx_commit_date}\n\n" "${history}")
file(WRITE ${kx_debian}/changelog.Debian "${entry}")
kx_gzip(${kx_debian}/changelog.Debian ${kx_debian}/changelog.Debian.gz)

# Every program: its binary, its man page and its package's documentation.
# A stripped install also loses the compiler's .comment section, as Debian's
# dh_strip does.
foreach(program ${KX_PROGRAMS})
  set(package ${kx_package_of_${program}})
  install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${package})
  install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
      execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${program}\"
        COMMAND_ERROR_IS_FATAL ANY)
    endif()" COMPONENT ${package})

  # Man pages go compressed, as Debian keeps them.
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/man)
  kx_gzip(${KX_DATA}/man/${program}.1 ${CMAKE_BINARY_DIR}/man/${program}.1.gz)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${KX_DATA}/man/${program}.1)
  install(FILES ${CMAKE_BINARY_DIR}/man/${program}.1.gz
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${package})

  install(FILES ${KX_DATA}/copyright ${kx_debian}/changelog.Debian.gz ${kx_debian}/README.md.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${package})
endforeach()

# The window's menu entry, icon and software-centre description.
install(FILES ${KX_DATA}/${KX_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT kx4720r)
install(FILES ${KX_DATA}/${KX_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT kx4720r)
configure_file(${KX_DATA}/${KX_APP_ID}.metainfo.xml.in ${CMAKE_BINARY_DIR}/${KX_APP_ID}.metainfo.xml
               @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/${KX_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT kx4720r)

# The Debian packages. Their library dependencies come from what each
# program actually links (dpkg-shlibdeps). On top, for the window: its fixed
# layout needs an Arial-metric font, its pictures are SVG, drawn by Qt's
# image format plugin, which no linked library reveals, and Qt's own texts in
# Hungarian (dialog buttons, the file dialog) go with its Hungarian captions.
# The command-line tool reaches the calibration records' databases through
# Qt SQL's driver plugins, which no linked library reveals either.
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL)
foreach(program ${KX_PROGRAMS})
  list(APPEND CPACK_COMPONENTS_ALL ${kx_package_of_${program}})
endforeach()
set(CPACK_PACKAGE_NAME kx4720r)
set(CPACK_PACKAGE_VERSION ${KX_PACKAGE_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE ${KX_DEBIAN_REVISION})
set(CPACK_PACKAGE_VENDOR "Varnel Kft.")
set(CPACK_PACKAGE_CONTACT "Varnel Kft. <kx4720r@varnel.hu>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # <package>_<version>-<revision>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.varnel.hu/kx4720r")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Component variables are named after the component in capitals.
set(CPACK_DEBIAN_KX4720R_PACKAGE_NAME kx4720r)
set(CPACK_DEBIAN_KX4720R_PACKAGE_DEPENDS
    "fonts-liberation2, libqt6svg6, qt6-translations-l10n, libqt6sql6-sqlite, libqt6sql6-psql")
set(CPACK_DEBIAN_KX4720R_PACKAGE_SUGGESTS "kx4720r-sim, kx4720r-cli")
string(CONCAT CPACK_DEBIAN_KX4720R_DESCRIPTION
    "configuration and calibration program for the KX4720R signal converter\n"
    "kx4720r-config configures and calibrates the KX4720R DC signal converter over a\n"
    "serial line: it shows the instrument's readings, temperature and status, and\n"
    "reads and writes its input and output types and scales. The factory-level\n"
    "view adds the calibration wizards and the test pages.\n"
    "\n"
    "The command-line tool is in kx4720r-cli, the instrument simulator for\n"
    "trying the program without an instrument in kx4720r-sim.")
set(CPACK_DEBIAN_KX4720R-CLI_PACKAGE_NAME kx4720r-cli)
set(CPACK_DEBIAN_KX4720R-CLI_PACKAGE_DEPENDS "libqt6sql6-sqlite, libqt6sql6-psql")
set(CPACK_DEBIAN_KX4720R-CLI_PACKAGE_SUGGESTS "kx4720r-sim")
string(CONCAT CPACK_DEBIAN_KX4720R-CLI_DESCRIPTION
    "command-line tool for the KX4720R signal converter\n"
    "kx4720r-cli reads the KX4720R DC signal converter's status and settings,\n"
    "writes its input and output types and scales and records its readings over\n"
    "a serial line, without a window: for production lines, scripts and remote\n"
    "machines. It needs Qt Core (and Qt SQL for the calibration records) alone.")
set(CPACK_DEBIAN_KX4720R-SIM_PACKAGE_NAME kx4720r-sim)
string(CONCAT CPACK_DEBIAN_KX4720R-SIM_DESCRIPTION
    "KX4720R signal converter simulator on a pseudo-terminal\n"
    "kx4720r-sim plays a KX4720R DC signal converter on a pseudo-terminal, with\n"
    "faults on demand (dropped, corrupted, delayed or split replies, a pulled\n"
    "cable), for test benches, training and trying kx4720r-config and\n"
    "kx4720r-cli without an instrument.")
include(CPack)
