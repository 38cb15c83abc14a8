# The Class 1 machines and T.30 frame intake driven with arbitrary modem bytes.
tolvane_fuzzer(fuzz_fax_class1 SOURCES ${CMAKE_CURRENT_LIST_DIR}/Class1Fuzzer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MachineFuzzRig.cpp
  DEPS tolvane_faxengine)
