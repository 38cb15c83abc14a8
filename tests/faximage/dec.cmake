# Unpacker, decoders and fax font: behaviour tests and interop with libtiff.
find_package(PkgConfig REQUIRED)
if(NOT TARGET PkgConfig::TIFF)
  pkg_check_modules(TIFF REQUIRED IMPORTED_TARGET libtiff-4)
endif()
find_package(ZLIB REQUIRED)
tolvane_test(test_faximage_unpack
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/DecTestSupport.cpp
    ${CMAKE_CURRENT_LIST_DIR}/UnpackInteropTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/UnpackBehaviourTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/UnpackerComponentTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FaxFontTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/UnpackFuzzReplayTest.cpp
  DEPS tolvane_faximage PkgConfig::TIFF ZLIB::ZLIB
  TIMEOUT 60)
