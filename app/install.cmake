# Installation into the XDG places: the programs, the help pages, the menu
# entry and its icon. The command-line tool and the simulator are defined
# after app/, so their rules run once the whole project is read.
include(GNUInstallDirs)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/help/
  DESTINATION ${CMAKE_INSTALL_DATADIR}/tolvane/help)
install(FILES ${CMAKE_SOURCE_DIR}/resources/tolvane.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/tolvane.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

install(TARGETS tolvane_notices tolvane_readers tolvane_ocr LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/tolvane)

function(tolvane_install_programs)
  foreach(program tolvane tolvane-fax tolvane-modemsim)
    if(TARGET ${program})
      install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
  endforeach()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL tolvane_install_programs)
