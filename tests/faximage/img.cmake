# APF files, the converter with its encoder, and the input readers; pages are
# checked by decoding them with libtiff.
find_package(PkgConfig REQUIRED)
if(NOT TARGET PkgConfig::TIFF)
  pkg_check_modules(TIFF REQUIRED IMPORTED_TARGET libtiff-4)
endif()
find_package(ZLIB REQUIRED)
tolvane_test(test_faximage_convert
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/ImgTestSupport.cpp
    ${CMAKE_CURRENT_LIST_DIR}/EncoderTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ApfFileTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ConverterTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TextReaderTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ImageReadersTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FuzzReplayTest.cpp
  DEPS tolvane_faximage PkgConfig::TIFF ZLIB::ZLIB
  TIMEOUT 60)
