tolvane_test(test_platform_errors SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/FxErrorsTest.cpp
  DEPS tolvane_platform)
