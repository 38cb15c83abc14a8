# Error correction framing: HDLC frames of page data, blocks and PPR maps,
# and the stored inputs of the ECM frame fuzz target.
tolvane_test(faxengine_ecm_frames
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/EcmFramesTest.cpp
          ${CMAKE_SOURCE_DIR}/tests/fuzz/faxengine/EcmFrameFuzzer.cpp
  DEPS tolvane_faxengine)
