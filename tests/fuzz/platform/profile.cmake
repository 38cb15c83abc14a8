tolvane_fuzzer(fuzz_profile SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ProfileFuzz.cpp
  DEPS tolvane_platform)
