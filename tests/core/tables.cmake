tolvane_test(test_app_tables SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/TablesTest.cpp
  DEPS tolvane_core)
