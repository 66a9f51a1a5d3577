add_executable(korv98_stub tools/Korv98Stub.cpp)
set_target_properties(korv98_stub PROPERTIES OUTPUT_NAME KORV98 SUFFIX .EXE)
