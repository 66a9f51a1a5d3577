target_sources(korv_win PRIVATE common/ModulePath.cpp common/ProgramStart.cpp common/WorkPath.cpp)
