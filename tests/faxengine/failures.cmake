# Failure paths of fax calls in every class through the simulated modem:
# no fax at the number, carrier lost, pages rejected, DCN, user abort in
# each phase, a receive folder that cannot take the file.
find_package(PkgConfig REQUIRED)
if(NOT TARGET PkgConfig::TIFF)
  pkg_check_modules(TIFF REQUIRED IMPORTED_TARGET libtiff-4)
endif()

tolvane_test(faxengine_failures
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/FaxSimHarness.cpp
          ${CMAKE_CURRENT_LIST_DIR}/FaxFailureTest.cpp
  DEPS tolvane_faxengine tolvane_faximage PkgConfig::TIFF
  TIMEOUT 420 LABELS integration)
if(TARGET tolvane-modemsim)
  add_dependencies(faxengine_failures tolvane-modemsim)
endif()
