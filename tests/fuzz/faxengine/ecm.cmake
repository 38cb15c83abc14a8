# The ECM frame reader (HDLC frames of page data) on arbitrary bytes.
tolvane_fuzzer(fuzz_fax_ecm_frames SOURCES ${CMAKE_CURRENT_LIST_DIR}/EcmFrameFuzzer.cpp
  DEPS tolvane_faxengine)
