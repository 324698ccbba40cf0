# Build settings shared by every target, and the test helper.
set(CMAKE_CXX_STANDARD 17)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
add_compile_options(-Wall -Wextra)

if(WIN32)
  set(LP_WINDOWS ON)
  add_compile_definitions(UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0601)
  # No MinGW runtime DLL beside the programs.
  add_link_options(-static -static-libgcc -static-libstdc++)
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    add_compile_options(-msse2 -mfpmath=sse)
  endif()
else()
  set(LP_WINDOWS OFF)
endif()
if(LP_WINDOWS)
  set(LP_WINE ON)   # both Windows builds' tests run under Wine: win64 natively, win32 under WOW64
else()
  set(LP_WINE OFF)
endif()

# The other Windows build of the same tree: the 32-bit delivery carries the 64-bit Setup and
# plug-in from it (and the 64-bit build the 32-bit plug-in), when it has been built.
if(LP_WINDOWS)
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    set(LP_TWIN_BUILD_DIR ${CMAKE_SOURCE_DIR}/build/win64 CACHE PATH "The x86_64 build of this tree")
  else()
    set(LP_TWIN_BUILD_DIR ${CMAKE_SOURCE_DIR}/build/win32 CACHE PATH "The i686 build of this tree")
  endif()
endif()

if(LP_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

enable_testing()
if(NOT LP_FUZZ AND NOT TARGET gtest)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
endif()

# lp_test(NAME <name> WHERE HOST|WINE|BOTH SOURCES ... [LIBS ...] [GUI])
#   HOST: built and run on the Linux build only.
#   WINE: built and run under Wine on both Windows builds (the win32 one in a WOW64 prefix).
#   BOTH: both of the above (contract tests: one source against the sim and against Wine).
#   GUI:  needs the virtual display; such tests take the display lock.
function(lp_test)
  cmake_parse_arguments(T "GUI" "NAME;WHERE" "SOURCES;LIBS" ${ARGN})
  if(LP_FUZZ)
    return()
  endif()
  if(T_WHERE STREQUAL "HOST" AND LP_WINDOWS)
    return()
  endif()
  if(T_WHERE STREQUAL "WINE" AND NOT LP_WINDOWS)
    return()
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} gmock gtest_main)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT 600
    ENVIRONMENT "LP_TEST_OUTPUT=${CMAKE_BINARY_DIR}/test-output;LP_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
  if(LP_WINE)
    set_property(TEST ${T_NAME} APPEND PROPERTY ENVIRONMENT "LP_CODE_PAGE=936")   # cmake/wine-run's locale
    # One Wine prefix, one spooler and service manager: a test that stops the Spooler must not
    # meet another that prints or installs meanwhile.
    set(locks wine_services)
    if(T_GUI)
      list(APPEND locks display)
    endif()
    set_tests_properties(${T_NAME} PROPERTIES RESOURCE_LOCK "${locks}")
  elseif(T_GUI)
    set_tests_properties(${T_NAME} PROPERTIES RESOURCE_LOCK display)
  endif()
endfunction()

if(LP_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# lp_fuzz(NAME <name> SOURCES ... [LIBS ...] CORPUS <dir> [MAX_LEN <bytes>])
#   A libFuzzer target (fuzz preset only). CTest runs it briefly on a copy of its committed
#   corpus; ./x fuzz [seconds] runs every target for longer. MAX_LEN: inputs up to that size.
function(lp_fuzz)
  cmake_parse_arguments(F "" "NAME;CORPUS;MAX_LEN" "SOURCES;LIBS" ${ARGN})
  if(NOT LP_FUZZ)
    return()
  endif()
  add_executable(${F_NAME} ${F_SOURCES})
  if(F_MAX_LEN)
    target_sources(${F_NAME} PRIVATE ${CMAKE_SOURCE_DIR}/cmake/fuzz_max_len.cpp)
    target_compile_definitions(${F_NAME} PRIVATE LP_FUZZ_MAX_LEN=${F_MAX_LEN})
  endif()
  target_link_libraries(${F_NAME} PRIVATE ${F_LIBS})
  target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
  set_target_properties(${F_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  add_test(NAME ${F_NAME}
    COMMAND ${CMAKE_SOURCE_DIR}/cmake/fuzz-run $<TARGET_FILE:${F_NAME}> ${F_CORPUS} 15)
  set_tests_properties(${F_NAME} PROPERTIES TIMEOUT 300)
  set_property(GLOBAL APPEND PROPERTY LP_FUZZ_CORPORA "${F_NAME}=${F_CORPUS}")
endfunction()

# lp_bench(NAME <name> SOURCES ... [LIBS ...]): a Google Benchmark program (release preset).
function(lp_bench)
  cmake_parse_arguments(B "" "NAME" "SOURCES;LIBS" ${ARGN})
  if(NOT LP_BENCH)
    return()
  endif()
  find_package(benchmark REQUIRED)
  add_executable(${B_NAME} ${B_SOURCES})
  target_link_libraries(${B_NAME} PRIVATE ${B_LIBS} benchmark::benchmark)
  set_target_properties(${B_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
endfunction()

# lp_delay_import(<name> <dll>): an INTERFACE target lp_<name> that links <dll> with delayed
# loading (Windows builds). Setup links the DLLs that are not among the system's known DLLs
# this way, so that a copy planted beside the program is never loaded.
function(lp_delay_import name dll)
  if(NOT LP_WINDOWS)
    return()
  endif()
  set(out ${CMAKE_BINARY_DIR}/delay/lib${name}_delay.a)
  set(killat OFF)
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    set(killat ON)
  endif()
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/delay
    COMMAND ${CMAKE_COMMAND} -DNM=${LP_TRIPLET}-nm -DDLLTOOL=${LP_TRIPLET}-dlltool
            -DIMPORT=/usr/${LP_TRIPLET}/lib/lib${name}.a -DDLL=${dll} -DOUT=${out} -DKILLAT=${killat}
            -P ${CMAKE_SOURCE_DIR}/cmake/delaylib.cmake
    DEPENDS ${CMAKE_SOURCE_DIR}/cmake/delaylib.cmake)
  add_custom_target(lp_${name}_delaylib DEPENDS ${out})
  add_library(lp_${name} INTERFACE)
  target_link_libraries(lp_${name} INTERFACE ${out})
  add_dependencies(lp_${name} lp_${name}_delaylib)
endfunction()
if(LP_WINDOWS)
  lp_delay_import(gdiplus gdiplus.dll)
endif()
