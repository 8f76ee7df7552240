# Most of a cold build is the compiler reading Qt's headers again for every
# file. vex_fast_build() runs once, after every target exists, so that the
# rooms' own lists stay plain source lists:
# - a target of several files is built in unity batches (one compiler run
#   reads the headers for a whole batch);
# - every target reuses one precompiled header of the Qt headers most files
#   include. Qt has every target built with -fPIC, programs too, so one
#   header fits them all (GCC refuses one made with other -fpic/-fpie flags).
# The header is made without Qt's QT_*_LIB macros, which only QtTest's
# headers look at (so those stay out of it): then it is valid for every
# target, whichever Qt modules it links. A target without the include
# paths of a module in it never reads that part.
# VEX_FAST_BUILD=OFF builds file by file, as before, which also shows an
# #include a file forgot.
option(VEX_FAST_BUILD "Unity batches and precompiled Qt headers" ON)
# A target whose files must not share a batch (file-local names that
# collide) says so in its room: set_target_properties(T PROPERTIES
# UNITY_BUILD OFF).

# ccache when present; these sloppiness settings let it cache the
# compilations that use a precompiled header.
find_program(VEX_CCACHE ccache)
if(VEX_CCACHE AND NOT CMAKE_CXX_COMPILER_LAUNCHER)
  set(CMAKE_CXX_COMPILER_LAUNCHER env
    CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
    ${VEX_CCACHE})
endif()

# The Qt headers most files include; a short list keeps the precompiled
# header quick to load.
set(VEX_PCH_HEADERS <QByteArray> <QDateTime> <QDir> <QFile> <QHash> <QJsonArray>
  <QJsonDocument> <QJsonObject> <QList> <QLoggingCategory> <QMap> <QObject> <QPointer>
  <QRegularExpression> <QString> <QStringList> <QTemporaryDir> <QTimer> <QVariant>
  <QSqlDatabase> <QSqlError> <QSqlQuery> <QSqlRecord>
  <QTcpServer> <QTcpSocket>
  <QKeyEvent> <QPainter>
  <QAction> <QApplication> <QComboBox> <QDialog> <QHBoxLayout> <QLabel> <QLineEdit>
  <QMessageBox> <QPushButton> <QTabWidget> <QVBoxLayout> <QWidget>
  <functional> <memory>)
set(VEX_PCH_MODULES Core Gui Widgets Network Sql)
set(VEX_UNITY_MIN_SOURCES 3)

# The targets defined in DIR and below it.
function(_vex_targets_in dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub IN LISTS subdirs)
    _vex_targets_in(${sub} more)
    list(APPEND targets ${more})
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

# The shared precompiled header, made on first use.
function(_vex_shared_pch out)
  set(holder vex_pch)
  if(NOT TARGET ${holder})
    set(source ${CMAKE_BINARY_DIR}/pch/${holder}.cpp)
    file(CONFIGURE OUTPUT ${source} CONTENT "// precompiled headers only\n")
    add_library(${holder} STATIC EXCLUDE_FROM_ALL ${source})
    # Core's own macros (QT_NO_DEBUG) and flags (-fPIC) are every target's.
    target_link_libraries(${holder} PRIVATE Qt6::Core)
    foreach(module IN LISTS VEX_PCH_MODULES)
      target_include_directories(${holder} SYSTEM PRIVATE
        $<TARGET_PROPERTY:Qt6::${module},INTERFACE_INCLUDE_DIRECTORIES>)
    endforeach()
    target_precompile_headers(${holder} PRIVATE ${VEX_PCH_HEADERS})
  endif()
  set(${out} ${holder} PARENT_SCOPE)
endfunction()

function(_vex_cxx_source_count target out)
  get_target_property(sources ${target} SOURCES)
  list(FILTER sources INCLUDE REGEX "\\.cpp$")
  list(LENGTH sources count)
  set(${out} ${count} PARENT_SCOPE)
endfunction()

function(vex_fast_build)
  if(NOT VEX_FAST_BUILD)
    return()
  endif()
  _vex_targets_in(${CMAKE_SOURCE_DIR} targets)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(NOT type MATCHES "^(EXECUTABLE|SHARED_LIBRARY|STATIC_LIBRARY|MODULE_LIBRARY)$"
       OR target STREQUAL vex_pch)
      continue()
    endif()
    _vex_shared_pch(holder)
    target_precompile_headers(${target} REUSE_FROM ${holder})
    _vex_cxx_source_count(${target} count)
    get_target_property(unity ${target} UNITY_BUILD)
    if(count GREATER_EQUAL VEX_UNITY_MIN_SOURCES AND unity STREQUAL "unity-NOTFOUND")
      set_target_properties(${target} PROPERTIES UNITY_BUILD ON)
    endif()
  endforeach()
endfunction()
