tolvane_test(test_core_settings SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/SettingsTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PlacementTest.cpp
  DEPS tolvane_core)
