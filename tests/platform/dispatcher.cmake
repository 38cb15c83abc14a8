tolvane_test(test_platform_dispatcher SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/DispatcherTest.cpp
  DEPS tolvane_platform)
if(TARGET tolvane_platform_qt)
  tolvane_test(test_platform_qt_dispatcher SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/DispatcherQtTest.cpp
    DEPS tolvane_platform_qt)
endif()
