# The Class 2 / 2.0 machines driven with arbitrary modem bytes.
tolvane_fuzzer(fuzz_fax_class2 SOURCES ${CMAKE_CURRENT_LIST_DIR}/Class2MachineFuzzer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MachineFuzzRig.cpp
  DEPS tolvane_faxengine)
