# Tolvane against efax, HylaFAX and itself over two simulated modems, as
# separate processes (tolvane-fax, efax, HylaFAX, tolvane-modemsim).
find_package(PkgConfig REQUIRED)
if(NOT TARGET PkgConfig::TIFF)
  pkg_check_modules(TIFF REQUIRED IMPORTED_TARGET libtiff-4)
endif()

tolvane_test(faxengine_interop
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/InteropHarness.cpp
          ${CMAKE_CURRENT_LIST_DIR}/InteropTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/HylafaxTest.cpp
  DEPS tolvane_test_support PkgConfig::TIFF
  TIMEOUT 280 LABELS integration)
foreach(tool tolvane-modemsim tolvane-fax)
  if(TARGET ${tool})
    add_dependencies(faxengine_interop ${tool})
  endif()
endforeach()
