# Page coders (MH, MR, MMR): interop with libtiff and Ghostscript on the ITU charts, damaged
# data, and the stored fuzz inputs of the decoders.
find_package(PkgConfig REQUIRED)
if(NOT TARGET PkgConfig::TIFF)
  pkg_check_modules(TIFF REQUIRED IMPORTED_TARGET libtiff-4)
endif()
find_package(ZLIB REQUIRED)
tolvane_test(test_faximage_codec
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/DecTestSupport.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MemoryTiff.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CodecTestSupport.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PageCodingInteropTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PageCodingDamageTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PageCodingFuzzReplayTest.cpp
  DEPS tolvane_faximage PkgConfig::TIFF ZLIB::ZLIB
  TIMEOUT 60)
