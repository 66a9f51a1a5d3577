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

add_executable(KorvSchd WIN32 app/KorvSchd.cpp ${KORV_RESOURCE_OBJECTS})
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
add_test(NAME wine_setup COMMAND ${CMAKE_SOURCE_DIR}/cmake/wine-bench.sh start ${KORV_WINE_DIR} $<TARGET_FILE:traydriver>)
set_tests_properties(wine_setup PROPERTIES FIXTURES_SETUP wine TIMEOUT 300)
add_test(NAME wine_cleanup COMMAND ${CMAKE_SOURCE_DIR}/cmake/wine-bench.sh stop ${KORV_WINE_DIR})
set_tests_properties(wine_cleanup PROPERTIES FIXTURES_CLEANUP wine TIMEOUT 60)

# korv_wine_test(name SOURCES ... [LIBS ...] [TIMEOUT s] [SERIAL]): one CTest
# entry per test program. SERIAL marks programs that use the real kernel-object
# and registry names, which are global in a prefix.
function(korv_wine_test name)
  cmake_parse_arguments(T "SERIAL" "TIMEOUT" "SOURCES;LIBS;DEPENDS" ${ARGN})
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
