# Three pages and a cover sent in every class at 9600 and 14400 bit/s to the
# simulated remote fax machine: pages, station IDs, status events, history.
find_package(PkgConfig REQUIRED)
if(NOT TARGET PkgConfig::TIFF)
  pkg_check_modules(TIFF REQUIRED IMPORTED_TARGET libtiff-4)
endif()

tolvane_test(faxengine_send_matrix
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/FaxSimHarness.cpp
          ${CMAKE_CURRENT_LIST_DIR}/SendMatrixTest.cpp
  DEPS tolvane_faxengine tolvane_faximage PkgConfig::TIFF
  TIMEOUT 300 LABELS integration)
if(TARGET tolvane-modemsim)
  add_dependencies(faxengine_send_matrix tolvane-modemsim)
endif()
