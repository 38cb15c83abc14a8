# The modem vanishing under a call and the processor time of page data;
# cancelling in mid-page with the next fax on the same port, and the
# modem's class after a call; in every class through the simulated modem.
find_package(PkgConfig REQUIRED)
if(NOT TARGET PkgConfig::TIFF)
  pkg_check_modules(TIFF REQUIRED IMPORTED_TARGET libtiff-4)
endif()

tolvane_test(faxengine_modem_gone
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/FaxSimHarness.cpp
          ${CMAKE_CURRENT_LIST_DIR}/ModemGoneTest.cpp
  DEPS tolvane_faxengine tolvane_faximage PkgConfig::TIFF
  TIMEOUT 600 LABELS integration)
if(TARGET tolvane-modemsim)
  add_dependencies(faxengine_modem_gone tolvane-modemsim)
endif()

tolvane_test(faxengine_cancel
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/FaxSimHarness.cpp
          ${CMAKE_CURRENT_LIST_DIR}/CancelTest.cpp
  DEPS tolvane_faxengine tolvane_faximage PkgConfig::TIFF
  TIMEOUT 600 LABELS integration)
if(TARGET tolvane-modemsim)
  add_dependencies(faxengine_cancel tolvane-modemsim)
endif()
