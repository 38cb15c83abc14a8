# Fax session framework and the Class 2 / 2.0 machines: unit tests of the
# framework pieces, and calls through the simulated modem and remote fax.
find_package(PkgConfig REQUIRED)
if(NOT TARGET PkgConfig::TIFF)
  pkg_check_modules(TIFF REQUIRED IMPORTED_TARGET libtiff-4)
endif()

tolvane_test(faxengine_framework
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/FaxFrameworkTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/FaxFilesTest.cpp
  DEPS tolvane_faxengine tolvane_faximage)

tolvane_test(faxengine_calls
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/FaxSimHarness.cpp
          ${CMAKE_CURRENT_LIST_DIR}/FaxCallTest.cpp
  DEPS tolvane_faxengine tolvane_faximage PkgConfig::TIFF
  TIMEOUT 300 LABELS integration)
if(TARGET tolvane-modemsim)
  add_dependencies(faxengine_calls tolvane-modemsim)
endif()

# The fuzz target's stored inputs, replayed in every build.
tolvane_test(faxengine_fuzz_replay
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/FaxFuzzReplayTest.cpp
          ${CMAKE_SOURCE_DIR}/tests/fuzz/faxengine/Class2MachineFuzzer.cpp
          ${CMAKE_SOURCE_DIR}/tests/fuzz/faxengine/MachineFuzzRig.cpp
  DEPS tolvane_faxengine tolvane_faximage)
