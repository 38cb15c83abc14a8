tolvane_test(test_core_tables SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/TablesTest.cpp
  DEPS tolvane_core)
