tolvane_test(test_platform_events SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/PendingEventsTest.cpp
  DEPS tolvane_platform)
