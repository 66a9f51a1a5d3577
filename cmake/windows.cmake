# The Windows program, its tools and its tests under Wine.
add_compile_definitions(STRICT WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0501 WINVER=0x0501)
add_link_options(-static -static-libgcc -static-libstdc++)

# Wine-backed test bench: every test program runs through this wrapper, in a
# prefix of its own under the build tree (made by the wine_setup fixture).
set(KORV_WINE_DIR ${CMAKE_BINARY_DIR}/wine)
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

# The shipped programs run on XP: common/TickCount64.cpp stands in for a kernel32
# function that the threads runtime imports and XP lacks. It must be an object
# of the executable itself, linked before the import libraries.
set(KORV_XP_OBJECTS ${CMAKE_SOURCE_DIR}/common/TickCount64.cpp)
add_executable(KorvSchd WIN32 app/KorvSchd.cpp ${KORV_XP_OBJECTS} ${KORV_RESOURCE_OBJECTS})
target_link_libraries(KorvSchd PRIVATE korv_win)
# The shipped program carries no debug symbols.
target_link_options(KorvSchd PRIVATE -s)
set_target_properties(KorvSchd PROPERTIES OUTPUT_NAME KorvSchd)

file(GLOB KORV_TOOL_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/*.cmake ${CMAKE_SOURCE_DIR}/tools/*/win.cmake)
foreach(f IN LISTS KORV_TOOL_FILES)
  include(${f})
endforeach()
include(cmake/installer.cmake)

# Benchmarks: programs that print figures (tools/bench.sh runs them all); each
# bench/<name>.cmake adds its programs. They are not CTest entries.
file(GLOB KORV_BENCH_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*.cmake)
foreach(f IN LISTS KORV_BENCH_FILES)
  include(${f})
endforeach()

# Test fixture: fresh prefix, wineboot once, persistent wineserver, private Xvfb
# and a virtual desktop whose explorer provides the notification area.
# korv_wine_fixture(NAME DIR [VERSION v] [DPI d]) adds wine_setup<NAME> and
# wine_cleanup<NAME> around the prefix in DIR, as fixture wine<NAME>.
function(korv_wine_fixture name dir)
  cmake_parse_arguments(F "" "VERSION;DPI;LABEL" "" ${ARGN})
  add_test(NAME wine_setup${name}
    COMMAND ${CMAKE_SOURCE_DIR}/cmake/wine-bench.sh start ${dir} $<TARGET_FILE:traydriver> "${F_VERSION}" "${F_DPI}")
  set_tests_properties(wine_setup${name} PROPERTIES FIXTURES_SETUP wine${name} TIMEOUT 300)
  add_test(NAME wine_cleanup${name} COMMAND ${CMAKE_SOURCE_DIR}/cmake/wine-bench.sh stop ${dir})
  set_tests_properties(wine_cleanup${name} PROPERTIES FIXTURES_CLEANUP wine${name} TIMEOUT 60)
  if(F_LABEL)
    set_tests_properties(wine_setup${name} wine_cleanup${name} PROPERTIES LABELS ${F_LABEL})
  endif()
endfunction()
korv_wine_fixture("" ${KORV_WINE_DIR})

# The Windows versions that the tests of the real program run on as well, each
# in a prefix of its own that presents itself as that version: name, winecfg
# version, DPI. Windows 10 runs at 200 % scale, as such machines mostly do with
# today's displays; the others at 100 %. An empty list turns the matrix off.
set(KORV_WINE_MATRIX "winxp:winxp:96;win7:win7:96;win10:win10:192" CACHE STRING
  "Prefixes name:version:dpi that the tests of the real program also run in")
foreach(entry IN LISTS KORV_WINE_MATRIX)
  string(REPLACE ":" ";" fields ${entry})
  list(GET fields 0 matrix_name)
  list(GET fields 1 matrix_version)
  list(GET fields 2 matrix_dpi)
  korv_wine_fixture(@${matrix_name} ${CMAKE_BINARY_DIR}/wine-${matrix_name}
    VERSION ${matrix_version} DPI ${matrix_dpi} LABEL matrix)
endforeach()

# korv_wine_test(name SOURCES ... [LIBS ...] [TIMEOUT s] [SERIAL] [MATRIX]
# [MATRIX_SKIP pattern:...]): one CTest entry per test program. SERIAL marks
# programs that use the real kernel-object and registry names, which are
# global in a prefix: they take that prefix's lock. MATRIX adds an entry
# name@version per prefix of the matrix, for the programs that meet the real
# KorvSchd.exe, where the Windows version can show; MATRIX_SKIP leaves out of
# those entries the cases (a GoogleTest filter) that cannot differ by version.
function(korv_wine_test name)
  cmake_parse_arguments(T "SERIAL;MATRIX" "TIMEOUT;MATRIX_SKIP" "SOURCES;LIBS;DEPENDS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE korv_test_support korv_win GTest::gtest ${T_LIBS})
  if(T_DEPENDS)
    add_dependencies(${name} ${T_DEPENDS})
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT ${T_TIMEOUT})
  if(T_SERIAL)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK korv_real_names)
  endif()
  if(NOT T_MATRIX)
    return()
  endif()
  set(matrix_args)
  if(T_MATRIX_SKIP)
    set(matrix_args --gtest_filter=-${T_MATRIX_SKIP})
  endif()
  foreach(entry IN LISTS KORV_WINE_MATRIX)
    string(REGEX REPLACE ":.*" "" matrix_name ${entry})
    add_test(NAME ${name}@${matrix_name} COMMAND ${name} ${matrix_args})
    set_tests_properties(${name}@${matrix_name} PROPERTIES FIXTURES_REQUIRED wine@${matrix_name}
      TIMEOUT ${T_TIMEOUT} LABELS matrix ENVIRONMENT KORV_WINE_DIR=${CMAKE_BINARY_DIR}/wine-${matrix_name})
    if(T_SERIAL)
      set_tests_properties(${name}@${matrix_name} PROPERTIES RESOURCE_LOCK korv_real_names@${matrix_name})
    endif()
  endforeach()
endfunction()

add_library(korv_test_support STATIC)
file(GLOB KORV_TEST_SUPPORT CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/support/*.cpp)
target_sources(korv_test_support PRIVATE ${KORV_TEST_SUPPORT})
target_link_libraries(korv_test_support PUBLIC korv_win GTest::gtest)

file(GLOB KORV_UNIT_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp ${CMAKE_SOURCE_DIR}/tools/*/*Test.cpp)
korv_wine_test(unit_tests SOURCES ${KORV_UNIT_SOURCES} LIBS korvctl_core GTest::gtest_main TIMEOUT 120)

file(GLOB KORV_WIN_TEST_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win/*.cmake)
foreach(f IN LISTS KORV_WIN_TEST_FILES)
  include(${f})
endforeach()
