# Shared build helpers for every subsystem.

set(TOLVANE_WARNINGS -Wall -Wextra -Wno-unused-parameter)

if(TOLVANE_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
# Programs that look up fonts take the leak suppressions of a sanitizer build.
function(tolvane_lsan_suppressions target)
  if(TOLVANE_SANITIZE OR TOLVANE_FUZZ)
    target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/cmake/LsanSuppressions.cpp)
  endif()
endfunction()
if(TOLVANE_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()
if(TOLVANE_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "TOLVANE_FUZZ needs clang: configure with CC=clang CXX=clang++")
  endif()
  # Instrument all project code for coverage; the fuzz targets add the libFuzzer main.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

set(TOLVANE_TEST_DATA ${CMAKE_SOURCE_DIR}/tests/data)

# tolvane_library(name SOURCES ... [DEPS ...] [QT])
# Defines library tolvane_<name> with the project root on its include path.
# QT turns on moc/uic/rcc for it; other targets stay free of Qt tooling.
# Test programs of Qt code set AUTOMOC themselves when they declare QObjects.
function(tolvane_library name)
  cmake_parse_arguments(A "QT" "" "SOURCES;DEPS" ${ARGN})
  if(NOT A_SOURCES)
    # A subsystem whose first sources have not landed yet: headers only.
    add_library(tolvane_${name} INTERFACE)
    target_include_directories(tolvane_${name} INTERFACE ${CMAKE_SOURCE_DIR})
    target_link_libraries(tolvane_${name} INTERFACE ${A_DEPS} Threads::Threads)
    return()
  endif()
  add_library(tolvane_${name} STATIC ${A_SOURCES})
  target_include_directories(tolvane_${name} PUBLIC ${CMAKE_SOURCE_DIR})
  target_compile_options(tolvane_${name} PRIVATE ${TOLVANE_WARNINGS})
  target_link_libraries(tolvane_${name} PUBLIC ${A_DEPS} Threads::Threads)
  if(A_QT)
    set_target_properties(tolvane_${name} PROPERTIES AUTOMOC ON AUTOUIC ON AUTORCC ON)
  endif()
endfunction()

# tolvane_test(name SOURCES ... DEPS ... [TIMEOUT s] [LABELS ...])
# One GoogleTest program; each TEST becomes a CTest case.
function(tolvane_test name)
  cmake_parse_arguments(A "" "TIMEOUT" "SOURCES;DEPS;LABELS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_DEPS} GTest::gtest GTest::gtest_main)
  tolvane_lsan_suppressions(${name})
  target_compile_definitions(${name} PRIVATE
    TOLVANE_TEST_DATA="${TOLVANE_TEST_DATA}"
    TOLVANE_BINARY_DIR="${CMAKE_BINARY_DIR}"
    TOLVANE_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 120)
  endif()
  # The fax reader runs at normal priority in tests: they wait for its text
  # while other tests keep the processors busy.
  set(props TIMEOUT ${A_TIMEOUT} ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
    ENVIRONMENT_MODIFICATION "TOLVANE_OCR_NICE=set:0")
  if(A_LABELS)
    list(APPEND props LABELS "${A_LABELS}")
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${props})
endfunction()

# tolvane_fuzzer(name SOURCES ... DEPS ...): a libFuzzer target, only with TOLVANE_FUZZ.
function(tolvane_fuzzer name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  if(TOLVANE_FUZZ)
    add_executable(${name} ${A_SOURCES})
    target_link_libraries(${name} PRIVATE ${A_DEPS})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  endif()
endfunction()

# tolvane_benchmark(name SOURCES ... DEPS ...)
function(tolvane_benchmark name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  find_package(benchmark REQUIRED)
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_DEPS} benchmark::benchmark)
  target_compile_definitions(${name} PRIVATE
    TOLVANE_TEST_DATA="${TOLVANE_TEST_DATA}"
    TOLVANE_BINARY_DIR="${CMAKE_BINARY_DIR}")
endfunction()
