# The soak bench's plan and figures, free of Windows, with their tests in the
# native build.
add_library(korv_soak_core STATIC bench/soak/SoakPlan.cpp)
target_include_directories(korv_soak_core PUBLIC ${CMAKE_SOURCE_DIR})
if(NOT WIN32)
  add_executable(soak_plan_tests bench/soak/SoakPlanTest.cpp)
  target_link_libraries(soak_plan_tests PRIVATE korv_soak_core GTest::gtest GTest::gtest_main)
  add_test(NAME soak_plan_tests COMMAND soak_plan_tests)
  set_tests_properties(soak_plan_tests PROPERTIES TIMEOUT 60)
endif()
