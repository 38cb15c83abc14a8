# Seconds per page sending the same three pages over the simulated line at
# real time, Tolvane and efax in the same run.
find_package(PkgConfig REQUIRED)
if(NOT TARGET PkgConfig::TIFF)
  pkg_check_modules(TIFF REQUIRED IMPORTED_TARGET libtiff-4)
endif()

tolvane_benchmark(bench_fax_send
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/FaxSendBench.cpp
          ${CMAKE_SOURCE_DIR}/tests/faxengine/InteropHarness.cpp
  DEPS PkgConfig::TIFF)
target_include_directories(bench_fax_send PRIVATE ${CMAKE_SOURCE_DIR}/tests/faxengine)
foreach(tool tolvane-modemsim tolvane-fax)
  if(TARGET ${tool})
    add_dependencies(bench_fax_send ${tool})
  endif()
endforeach()

# Processor time per page sent and received in Class 1 at real time,
# tolvane-fax beside efax on the same line.
tolvane_benchmark(bench_fax_cpu
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/FaxCpuBench.cpp
          ${CMAKE_SOURCE_DIR}/tests/faxengine/InteropHarness.cpp
  DEPS PkgConfig::TIFF)
target_include_directories(bench_fax_cpu PRIVATE ${CMAKE_SOURCE_DIR}/tests/faxengine)
foreach(tool tolvane-modemsim tolvane-fax)
  if(TARGET ${tool})
    add_dependencies(bench_fax_cpu ${tool})
  endif()
endforeach()
