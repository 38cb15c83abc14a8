tolvane_test(test_platform_profile SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ProfileFileTest.cpp
  DEPS tolvane_platform)
