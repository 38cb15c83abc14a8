# The windows of the desktop program (library tolvane_appwin) and the
# `tolvane` executable. Windows of other subsystems join when their
# libraries exist.
file(GLOB APPWIN_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
find_package(Qt6 REQUIRED COMPONENTS Widgets PrintSupport Multimedia DBus)
# SIP line and mail passwords go to the desktop's secret store.
find_package(Qt6Keychain REQUIRED)
include(GNUInstallDirs)
set(APPWIN_DEPS tolvane_archive tolvane_widgets tolvane_core tolvane_printinbox tolvane_faxengine tolvane_serial
  tolvane_richtext tolvane_platform tolvane_platform_qt
  Qt6::Widgets Qt6::PrintSupport Qt6Keychain::Qt6Keychain)
set(APPWIN_DEFS)
foreach(lib compose send faxview docimport docimportqt)
  if(TARGET tolvane_${lib})
    list(APPEND APPWIN_DEPS tolvane_${lib})
    string(TOUPPER ${lib} upper)
    list(APPEND APPWIN_DEFS TOLVANE_HAVE_${upper})
  endif()
endforeach()
tolvane_library(appwin SOURCES ${APPWIN_SOURCES} ${CMAKE_SOURCE_DIR}/resources/tolvane.qrc
  DEPS ${APPWIN_DEPS} QT)
target_compile_definitions(tolvane_appwin PUBLIC ${APPWIN_DEFS})
target_compile_definitions(tolvane_appwin PRIVATE TOLVANE_LIBDIR="${CMAKE_INSTALL_LIBDIR}")

# The received-fax sound and desktop notification: a module loaded on the
# first received fax, next to `tolvane`.
add_library(tolvane_notices MODULE ${CMAKE_CURRENT_SOURCE_DIR}/notices/FaxSound.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/notices/FaxNotification.cpp)
target_link_libraries(tolvane_notices PRIVATE Qt6::Multimedia Qt6::DBus)
set_target_properties(tolvane_notices PROPERTIES PREFIX "lib" LIBRARY_OUTPUT_DIRECTORY
  ${CMAKE_CURRENT_BINARY_DIR})
target_compile_definitions(tolvane_appwin PRIVATE
  TOLVANE_NOTICES_BUILD_PATH="$<TARGET_FILE:tolvane_notices>")

add_executable(tolvane ${CMAKE_CURRENT_SOURCE_DIR}/main/Main.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/main/DemoMode.cpp ${CMAKE_CURRENT_SOURCE_DIR}/main/SingleInstance.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/main/TerminationSignals.cpp)
target_link_libraries(tolvane PRIVATE tolvane_appwin)
tolvane_lsan_suppressions(tolvane)
set_target_properties(tolvane PROPERTIES AUTOMOC ON)
add_dependencies(tolvane tolvane_notices tolvane_readers tolvane_ocr)
target_compile_options(tolvane PRIVATE ${TOLVANE_WARNINGS})
include(${CMAKE_CURRENT_SOURCE_DIR}/install.cmake OPTIONAL)
