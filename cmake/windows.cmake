# The Windows program, its tools and its tests under Wine.
add_compile_definitions(STRICT WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0501 WINVER=0x0501)
add_link_options(-static -static-libgcc -static-libstdc++)
# No link time in the executables' headers (it would also change their
# checksum): two builds of one commit give the same bytes.
add_link_options(-Wl,--no-insert-timestamp)

# Wine-backed test benches: every test program runs through this wrapper, in
# the bench that its KORV_WINE_DIR names (see korv_wine_bench below); by hand,
# in the first bench. A 32-bit build runs under 32-bit Wine, a 64-bit one under
# 64-bit Wine (cmake/wine-env.sh); where the 64-bit build's tests run instead
# of the 32-bit one's, every 32-bit entry that needs Wine is skipped, saying
# why (exit 77).
set(KORV_WINE_DIR ${CMAKE_BINARY_DIR}/wine-a)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(KORV_WINE_ARCH 64)
else()
  set(KORV_WINE_ARCH 32)
endif()
set(KORV_WINE_SKIP 77)
configure_file(${CMAKE_SOURCE_DIR}/cmake/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh @ONLY
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)

# Win32 layer shared by the program and the in-process tests.
add_library(korv_win STATIC)
include(common/win.cmake)
include(app/win.cmake)
include(sched/win.cmake)
include(browser/win.cmake)
include(dde/win.cmake)
target_link_libraries(korv_win PUBLIC korv_core user32 gdi32 advapi32 shell32 kernel32)
target_include_directories(korv_win PUBLIC ${CMAKE_SOURCE_DIR})

include(res/resources.cmake)

# The shipped program is built for size: the code it links is compiled with
# -Os into one section per function and datum, and optimised again as a whole
# when it is linked (the objects carry both their code and the compiler's
# intermediate form); the linker drops what nothing uses. The tests link the
# same library code, as compiled; their own code keeps the build type's flags.
set(KORV_SIZE_OPTIONS -Os -ffunction-sections -fdata-sections -flto -ffat-lto-objects)
target_compile_options(korv_core PRIVATE ${KORV_SIZE_OPTIONS})
target_compile_options(korv_win PRIVATE ${KORV_SIZE_OPTIONS})
# Every other link takes the compiled code and keeps the linker plugin off,
# which would otherwise mix in the intermediate form and find each inline
# function twice.
add_link_options($<$<NOT:$<STREQUAL:$<TARGET_PROPERTY:NAME>,KorvSchd>>:-fno-use-linker-plugin>)

# The shipped programs run on XP: common/TickCount64.cpp stands in for a kernel32
# function that the threads runtime imports and XP lacks. It must be an object
# of the executable itself, linked before the import libraries.
set(KORV_XP_OBJECTS ${CMAKE_SOURCE_DIR}/common/TickCount64.cpp)
# The program's replacements for parts of the C++ runtime, compiled once: the
# test programs link them too, so that they meet the runtime's errors as the
# program does.
add_library(korv_runtime OBJECT app/SmallRuntime.cpp)
target_compile_options(korv_runtime PRIVATE ${KORV_SIZE_OPTIONS})
add_executable(KorvSchd WIN32 app/KorvSchd.cpp $<TARGET_OBJECTS:korv_runtime> ${KORV_XP_OBJECTS} ${KORV_RESOURCE_OBJECTS})
target_compile_options(KorvSchd PRIVATE ${KORV_SIZE_OPTIONS})
target_link_libraries(KorvSchd PRIVATE korv_win)
# No debug symbols in the shipped program; the map file says what takes room.
target_link_options(KorvSchd PRIVATE -s -Os -flto -Wl,--gc-sections -Wl,-Map=${CMAKE_BINARY_DIR}/KorvSchd.map)
set_target_properties(KorvSchd PROPERTIES OUTPUT_NAME KorvSchd)
# The program starts its threads with CreateThread and uses no C++ thread
# classes, so it links the C++ runtime of the compiler's Win32 thread model
# (its guards and exception buffers on Win32's own locks) rather than the one
# of the POSIX model, which brings the whole POSIX threads library (30 KB).
# The tests keep the POSIX one, which GoogleTest needs. Where the compiler has
# no Win32 twin, the program links as the tests do.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-libgcc-file-name
  OUTPUT_VARIABLE KORV_LIBGCC OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
get_filename_component(KORV_RUNTIME_DIR "${KORV_LIBGCC}" DIRECTORY)
string(REGEX REPLACE "-posix$" "-win32" KORV_WIN32_RUNTIME_DIR "${KORV_RUNTIME_DIR}")
if(NOT KORV_WIN32_RUNTIME_DIR STREQUAL KORV_RUNTIME_DIR AND EXISTS ${KORV_WIN32_RUNTIME_DIR}/libstdc++.a)
  target_link_directories(KorvSchd BEFORE PRIVATE ${KORV_WIN32_RUNTIME_DIR})
endif()

file(GLOB KORV_TOOL_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/*.cmake ${CMAKE_SOURCE_DIR}/tools/*/win.cmake)
foreach(f IN LISTS KORV_TOOL_FILES)
  include(${f})
endforeach()
include(cmake/installer.cmake)

# Without the tests, the program, its tools and the installer are all.
if(NOT BUILD_TESTING)
  return()
endif()

# Test benches. Each is a fresh Wine prefix under the build tree with its own
# wineserver, Xvfb and virtual desktop (whose explorer provides the
# notification area), made by the fixture wine_setup_<name> and ended by
# wine_cleanup_<name>. Named kernel objects, the registry, win.ini, DDE and the
# tray belong to one bench, so test programs on different benches never meet
# and CTest runs them side by side. Three benches share the test programs out
# so that each has about the same work; more can be added for work that should
# run beside the rest (a long soak, another Windows version). CTest starts the
# entries that need a fixture before those that need none, whatever their
# cost, so a long entry belongs on a bench.
# korv_wine_bench(name [VERSION v] [DPI d] [LABEL l]): with VERSION the prefix
# presents itself as that Windows (what winecfg /v takes), with DPI the
# display runs at that many dots per inch.
function(korv_wine_bench name)
  cmake_parse_arguments(F "" "VERSION;DPI;LABEL" "" ${ARGN})
  set(dir ${CMAKE_BINARY_DIR}/wine-${name})
  add_test(NAME wine_setup_${name}
    COMMAND ${CMAKE_SOURCE_DIR}/cmake/wine-bench.sh start ${dir} $<TARGET_FILE:traydriver> "${F_VERSION}" "${F_DPI}")
  set_tests_properties(wine_setup_${name} PROPERTIES FIXTURES_SETUP wine_${name} TIMEOUT 300
    SKIP_RETURN_CODE ${KORV_WINE_SKIP} ENVIRONMENT KORV_WINE_BUILD_ARCH=${KORV_WINE_ARCH})
  add_test(NAME wine_cleanup_${name} COMMAND ${CMAKE_SOURCE_DIR}/cmake/wine-bench.sh stop ${dir})
  set_tests_properties(wine_cleanup_${name} PROPERTIES FIXTURES_CLEANUP wine_${name} TIMEOUT 60
    SKIP_RETURN_CODE ${KORV_WINE_SKIP} ENVIRONMENT KORV_WINE_BUILD_ARCH=${KORV_WINE_ARCH})
  if(F_LABEL)
    set_tests_properties(wine_setup_${name} wine_cleanup_${name} PROPERTIES LABELS ${F_LABEL})
  endif()
endfunction()
korv_wine_bench(a)
korv_wine_bench(b)
korv_wine_bench(c)

# The Windows versions that the tests of the real program run on as well, each
# on a bench of its own that presents itself as that version: name, winecfg
# version, DPI. Windows 10 runs at 200 % scale, as such machines mostly do with
# today's displays; the others at 100 %. An empty list turns the matrix off.
# Only versions on which the program takes other paths: Windows 7 is the
# default prefix's own.
# A 64-bit prefix knows XP only as XP x64 (winxp64).
if(KORV_WINE_ARCH EQUAL 64)
  set(korv_xp winxp64)
else()
  set(korv_xp winxp)
endif()
set(KORV_WINE_MATRIX "${korv_xp}:${korv_xp}:96;win10:win10:192" CACHE STRING
  "Benches name:version:dpi that the tests of the real program also run on")
foreach(entry IN LISTS KORV_WINE_MATRIX)
  string(REPLACE ":" ";" fields ${entry})
  list(GET fields 0 matrix_name)
  list(GET fields 1 matrix_version)
  list(GET fields 2 matrix_dpi)
  korv_wine_bench(${matrix_name} VERSION ${matrix_version} DPI ${matrix_dpi} LABEL matrix)
endforeach()

# korv_wine_test(name SOURCES ... [LIBS ...] [DEPENDS ...] [TIMEOUT s] [BENCH b]
#                [SHARDS n] [COST s] [SERIAL] [MATRIX]): one test program, run on bench b (a by
# default) as one CTest entry, or as n entries name_1 ... name_n that each run
# every n-th test (GoogleTest's sharding) and can go to different benches:
# BENCH then lists one bench per shard. SERIAL marks programs that use the
# real kernel-object and registry names, the Run value, win.ini, DDE servers
# or the tray: on one bench they run one at a time. COST, about the seconds
# an entry takes, lets CTest start the long ones first on a fresh build tree.
# MATRIX adds an entry name@version on each bench of the version matrix, for
# the programs that meet the real KorvSchd.exe, where the Windows version can
# show; MATRIX_SKIP leaves out of those entries the cases (a GoogleTest filter,
# pattern:pattern...) that cannot differ by version.
function(korv_wine_test name)
  cmake_parse_arguments(T "SERIAL;MATRIX" "TIMEOUT;SHARDS;COST;MATRIX_SKIP" "SOURCES;LIBS;DEPENDS;BENCH" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  if(NOT T_SHARDS)
    set(T_SHARDS 1)
  endif()
  if(NOT T_BENCH)
    set(T_BENCH a)
  endif()
  add_executable(${name} ${T_SOURCES} $<TARGET_OBJECTS:korv_runtime>)
  target_link_libraries(${name} PRIVATE korv_test_support korv_win GTest::gtest ${T_LIBS})
  if(T_DEPENDS)
    add_dependencies(${name} ${T_DEPENDS})
  endif()
  foreach(shard RANGE 1 ${T_SHARDS})
    if(T_SHARDS EQUAL 1)
      set(entry ${name})
      set(environment "")
    else()
      set(entry ${name}_${shard})
      math(EXPR index "${shard} - 1")
      set(environment GTEST_TOTAL_SHARDS=${T_SHARDS} GTEST_SHARD_INDEX=${index})
    endif()
    list(LENGTH T_BENCH benches)
    math(EXPR pick "(${shard} - 1) % ${benches}")
    list(GET T_BENCH ${pick} bench)
    add_test(NAME ${entry} COMMAND ${name})
    set_tests_properties(${entry} PROPERTIES FIXTURES_REQUIRED wine_${bench} TIMEOUT ${T_TIMEOUT}
      SKIP_RETURN_CODE ${KORV_WINE_SKIP} ENVIRONMENT "KORV_WINE_DIR=${CMAKE_BINARY_DIR}/wine-${bench};${environment}")
    if(T_SERIAL)
      set_tests_properties(${entry} PROPERTIES RESOURCE_LOCK korv_bench_${bench})
    endif()
    if(T_COST)
      set_tests_properties(${entry} PROPERTIES COST ${T_COST})
    endif()
  endforeach()
  if(NOT T_MATRIX)
    return()
  endif()
  set(matrix_args)
  if(T_MATRIX_SKIP)
    set(matrix_args --gtest_filter=-${T_MATRIX_SKIP})
  endif()
  foreach(entry IN LISTS KORV_WINE_MATRIX)
    string(REGEX REPLACE ":.*" "" bench ${entry})
    add_test(NAME ${name}@${bench} COMMAND ${name} ${matrix_args})
    set_tests_properties(${name}@${bench} PROPERTIES FIXTURES_REQUIRED wine_${bench} TIMEOUT ${T_TIMEOUT}
      LABELS matrix SKIP_RETURN_CODE ${KORV_WINE_SKIP} ENVIRONMENT KORV_WINE_DIR=${CMAKE_BINARY_DIR}/wine-${bench})
    if(T_SERIAL)
      set_tests_properties(${name}@${bench} PROPERTIES RESOURCE_LOCK korv_bench_${bench})
    endif()
    if(T_COST)
      set_tests_properties(${name}@${bench} PROPERTIES COST ${T_COST})
    endif()
  endforeach()
endfunction()

# Benchmarks: programs that print figures (tools/bench.sh runs them all); each
# bench/<name>.cmake adds its programs. They are not CTest entries, but for
# the soak bench's counted form, on a bench of its own.
file(GLOB KORV_BENCH_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*.cmake)
foreach(f IN LISTS KORV_BENCH_FILES)
  include(${f})
endforeach()

add_library(korv_test_support STATIC)
file(GLOB KORV_TEST_SUPPORT CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/support/*.cpp)
target_sources(korv_test_support PRIVATE ${KORV_TEST_SUPPORT})
target_link_libraries(korv_test_support PUBLIC korv_win GTest::gtest)

file(GLOB KORV_UNIT_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp ${CMAKE_SOURCE_DIR}/tools/*/*Test.cpp)
list(APPEND KORV_UNIT_SOURCES ${CMAKE_SOURCE_DIR}/tests/win/RuntimeTest.cpp)
korv_wine_test(unit_tests SOURCES ${KORV_UNIT_SOURCES} LIBS korvctl_core GTest::gtest_main BENCH c TIMEOUT 120)

file(GLOB KORV_WIN_TEST_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win/*.cmake)
foreach(f IN LISTS KORV_WIN_TEST_FILES)
  include(${f})
endforeach()
