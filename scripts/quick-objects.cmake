# Read by the build of scripts/call-circles.sh (CMAKE_PROJECT_INCLUDE), which
# only needs each product file's object for its symbols: the product's
# targets share one precompiled header of Qt's, so that each file, compiled
# alone without optimisation or debugging information, costs a second of
# processor time instead of two and a half. Programs are compiled as
# position-independent code as the libraries are, so that they can share it.
set(CMAKE_CXX_COMPILE_OPTIONS_PIE ${CMAKE_CXX_COMPILE_OPTIONS_PIC})
set(tervana_quick_source ${CMAKE_BINARY_DIR}/quickheaders.cpp)
file(WRITE ${tervana_quick_source} "")

function(tervana_quick_objects)
    find_package(Qt6 REQUIRED COMPONENTS Widgets)
    add_library(quickheaders STATIC ${tervana_quick_source})
    # Qt Core's definitions alone, which every target has: GCC takes a
    # precompiled header only where each macro it was made with is defined.
    target_link_libraries(quickheaders PRIVATE Qt6::Core)
    target_include_directories(quickheaders PRIVATE $<TARGET_PROPERTY:Qt6::Gui,INTERFACE_INCLUDE_DIRECTORIES>
                                                    $<TARGET_PROPERTY:Qt6::Widgets,INTERFACE_INCLUDE_DIRECTORIES>)
    set_target_properties(quickheaders PROPERTIES POSITION_INDEPENDENT_CODE ON)
    target_precompile_headers(quickheaders PRIVATE
        <optional> <vector> <algorithm> <memory> <functional> <map>
        <QString> <QByteArray> <QStringList> <QIODevice> <QImage> <QFileInfo> <QDir> <QFile> <QSize> <QColor>
        <QBuffer> <QPainter> <QCommandLineParser> <QCoreApplication> <QWidget> <QtEndian>)
    foreach(target files icon artwork picture resample formats convert platform window tervana tervana-convert)
        target_precompile_headers(${target} REUSE_FROM quickheaders)
    endforeach()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL tervana_quick_objects)
