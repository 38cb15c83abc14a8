# Class 1 protocol: frame and field tests, and Class 1 calls through the
# simulated modem to spandsp's remote fax machine.
find_package(PkgConfig REQUIRED)
if(NOT TARGET PkgConfig::TIFF)
  pkg_check_modules(TIFF REQUIRED IMPORTED_TARGET libtiff-4)
endif()

tolvane_test(faxengine_class1_calls
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/FaxSimHarness.cpp
          ${CMAKE_CURRENT_LIST_DIR}/Class1CallTest.cpp
  DEPS tolvane_faxengine tolvane_faximage PkgConfig::TIFF
  TIMEOUT 240 LABELS integration)
if(TARGET tolvane-modemsim)
  add_dependencies(faxengine_class1_calls tolvane-modemsim)
endif()

tolvane_test(faxengine_t30_frames
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/T30FramesTest.cpp
  DEPS tolvane_faxengine)

# The Class 1 fuzz target's stored inputs, replayed in every build.
tolvane_test(faxengine_class1_fuzz_replay
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/Class1FuzzReplayTest.cpp
          ${CMAKE_SOURCE_DIR}/tests/fuzz/faxengine/Class1Fuzzer.cpp
          ${CMAKE_SOURCE_DIR}/tests/fuzz/faxengine/MachineFuzzRig.cpp
  DEPS tolvane_faxengine)
