# Class 1 calls in MR (and MH where a side has no 2-D coding) through the
# simulated modem to spandsp's remote fax machine.
tolvane_test(faxengine_class1_coding
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/FaxSimHarness.cpp
          ${CMAKE_CURRENT_LIST_DIR}/Class1CodingTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/LineErrorsTest.cpp
  DEPS tolvane_faxengine tolvane_faximage PkgConfig::TIFF
  TIMEOUT 180 LABELS integration)
if(TARGET tolvane-modemsim)
  add_dependencies(faxengine_class1_coding tolvane-modemsim)
endif()
