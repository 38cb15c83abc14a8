# Class 2 and 2.0 calls in MMR with error correction, done by the simulated
# modem, to and from spandsp's remote fax machine.
tolvane_test(faxengine_class2_coding
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/FaxSimHarness.cpp
          ${CMAKE_CURRENT_LIST_DIR}/Class2CodingTest.cpp
  DEPS tolvane_faxengine tolvane_faximage PkgConfig::TIFF
  TIMEOUT 180 LABELS integration)
if(TARGET tolvane-modemsim)
  add_dependencies(faxengine_class2_coding tolvane-modemsim)
endif()
