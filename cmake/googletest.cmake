# GoogleTest, which the tests and the benchmarks link: an installed package
# where there is one (MSYS2's, say; a cross build looks only inside the
# target's root), else built here from its sources, by default where Debian
# keeps them.
find_package(GTest)
if(NOT GTest_FOUND)
  set(KORV_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH
    "GoogleTest's sources, built with the tests when no GTest package is found")
  if(NOT EXISTS ${KORV_GTEST_SOURCE_DIR}/CMakeLists.txt)
    message(FATAL_ERROR "No GTest package and no GoogleTest sources in ${KORV_GTEST_SOURCE_DIR}: "
      "set KORV_GTEST_SOURCE_DIR, or configure with -DBUILD_TESTING=OFF to build the program alone")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(${KORV_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()
