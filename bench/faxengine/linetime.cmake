# Line time of the ITU charts at fine sent by our Class 1 engine through the
# simulator to spandsp's remote fax machine: MH, MR, and MMR with error
# correction, against the physical limit.
find_package(PkgConfig REQUIRED)
if(NOT TARGET PkgConfig::TIFF)
  pkg_check_modules(TIFF REQUIRED IMPORTED_TARGET libtiff-4)
endif()
find_package(ZLIB REQUIRED)
tolvane_benchmark(bench_faxengine_linetime
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/LineTimeBench.cpp
    ${CMAKE_SOURCE_DIR}/tests/faxengine/FaxSimHarness.cpp
    ${CMAKE_SOURCE_DIR}/tests/faximage/CodecTestSupport.cpp
    ${CMAKE_SOURCE_DIR}/tests/faximage/MemoryTiff.cpp
    ${CMAKE_SOURCE_DIR}/tests/faximage/DecTestSupport.cpp
  DEPS tolvane_faxengine tolvane_faximage PkgConfig::TIFF ZLIB::ZLIB)
target_include_directories(bench_faxengine_linetime PRIVATE
  ${CMAKE_SOURCE_DIR}/tests/faxengine ${CMAKE_SOURCE_DIR}/tests/faximage)
if(TARGET tolvane-modemsim)
  add_dependencies(bench_faxengine_linetime tolvane-modemsim)
endif()
