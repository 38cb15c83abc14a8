if(TARGET tolvane_serial)
  tolvane_test(test_core_modem SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/ModemCommandsTest.cpp
    DEPS tolvane_core)
  target_compile_definitions(test_core_modem PRIVATE
    TOLVANE_PORT_HOLDER="$<TARGET_FILE:serial_port_holder>")
  add_dependencies(test_core_modem serial_port_holder)
endif()
