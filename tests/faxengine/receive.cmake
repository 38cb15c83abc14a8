# A receive session over several calls, in every class, through the
# simulated modem and remote fax machine.
find_package(PkgConfig REQUIRED)
if(NOT TARGET PkgConfig::TIFF)
  pkg_check_modules(TIFF REQUIRED IMPORTED_TARGET libtiff-4)
endif()

tolvane_test(faxengine_receive_session
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/FaxSimHarness.cpp
          ${CMAKE_CURRENT_LIST_DIR}/ReceiveSessionTest.cpp
  DEPS tolvane_faxengine tolvane_faximage PkgConfig::TIFF
  TIMEOUT 400 LABELS integration)
if(TARGET tolvane-modemsim)
  add_dependencies(faxengine_receive_session tolvane-modemsim)
endif()
