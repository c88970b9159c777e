# Build time. Nearly all of a build is the compiler parsing Qt's headers again
# for every unit, so each kind of target parses them once into a precompiled
# header that the other targets of its kind reuse, and ccache (when the
# machine has it) keeps what was compiled for the next build. Of what is left,
# most is writing debug information and optimising the suites' own code, and
# GNU ld reading the window's libraries for every suite: see below.
#
#   kx_precompiled(<target> core|gui|test)   use the kind's precompiled header
#
# Included by the top CMakeLists.txt before any target is made.

option(KX_PCH "Precompile Qt's headers once per kind of target" ON)

find_program(KX_CCACHE ccache)
if(KX_CCACHE AND NOT CMAKE_CXX_COMPILER_LAUNCHER)
  # base_dir and no hashed directory: the same source compiled in another
  # checkout or build folder is found in the cache. The sloppiness is what
  # ccache needs to cache units that use a precompiled header.
  set(CMAKE_CXX_COMPILER_LAUNCHER
      ${CMAKE_COMMAND} -E env CCACHE_BASEDIR=${CMAKE_SOURCE_DIR} CCACHE_NOHASHDIR=1
      "CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime"
      ${KX_CCACHE})
endif()

# Debug information costs a third of the compile time of a unit. The default
# build (RelWithDebInfo) keeps line tables: backtraces, profilers and
# sanitizers still name function, file and line; the generated code is the
# same. The package strips it all anyway. A Debug build has everything.
option(KX_LINE_TABLES "Only line tables as debug information in RelWithDebInfo builds" ON)
if(KX_LINE_TABLES)
  add_compile_options($<$<CONFIG:RelWithDebInfo>:-g1>)
endif()

# lld links a suite in a quarter of the time GNU ld takes, and every suite
# that shows the window links all of its libraries.
include(CheckLinkerFlag)
check_linker_flag(CXX -fuse-ld=lld KX_HAVE_LLD)
if(KX_HAVE_LLD)
  add_link_options(-fuse-ld=lld)
endif()

# The headers of each kind: what most of its units include. The window's
# include the controls that our own widgets' headers and the window's form
# bring in.
set(kx_pch_headers_core
    <QByteArray> <QDateTime> <QFile> <QHash> <QList> <QLocale> <QObject> <QPointer> <QString>
    <QStringList> <QTimer> <QVariant> <array> <cstdint> <functional> <memory> <optional> <span>
    <string> <vector>)
set(kx_pch_headers_gui ${kx_pch_headers_core}
    <QApplication> <QFrame> <QGroupBox> <QIcon> <QLabel> <QLineEdit> <QListWidget> <QPainter>
    <QPlainTextEdit> <QPushButton> <QSlider> <QTabWidget> <QToolButton> <QWidget>)
set(kx_pch_headers_test ${kx_pch_headers_gui} <QSignalSpy> <QtTest>)

# GCC takes a precompiled header only where every macro defined when it was
# made is defined alike, so each kind's header is made by a target of its own
# that links the fewest Qt modules; the others of the kind reuse it. The test
# module defines the suite's folder as a macro: one header per folder.
file(WRITE ${CMAKE_BINARY_DIR}/kx_pch_anchor.cpp "// The precompiled headers' own unit.\n")
set(kx_pch_modules_core Qt6::Core)
set(kx_pch_modules_gui Qt6::Widgets)
set(kx_pch_modules_test Qt6::Test Qt6::Widgets)

#   kx_precompiled(<target> core|gui|test)
function(kx_precompiled target kind)
  if(NOT KX_PCH)
    return()
  endif()
  # moc's collection unit of an executable is empty here (a suite's class is
  # in its own unit): loading the header would cost more than it saves. A
  # library's holds the moc code of every class in its headers.
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    get_target_property(binary_dir ${target} BINARY_DIR)
    set_source_files_properties(${binary_dir}/${target}_autogen/mocs_compilation.cpp
                                TARGET_DIRECTORY ${target} PROPERTIES SKIP_PRECOMPILE_HEADERS ON)
  endif()
  set(owner kx_pch_${kind})
  if(kind STREQUAL "test")
    file(RELATIVE_PATH folder ${CMAKE_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
    string(MAKE_C_IDENTIFIER "${owner}_${folder}" owner)
  endif()
  if(NOT TARGET ${owner})
    add_library(${owner} OBJECT ${CMAKE_BINARY_DIR}/kx_pch_anchor.cpp)
    set_target_properties(${owner} PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
    target_link_libraries(${owner} PRIVATE ${kx_pch_modules_${kind}})
    target_precompile_headers(${owner} PRIVATE ${kx_pch_headers_${kind}})
  endif()
  target_precompile_headers(${target} REUSE_FROM ${owner})
endfunction()
