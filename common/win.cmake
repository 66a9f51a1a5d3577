target_sources(korv_win PRIVATE common/ModulePath.cpp common/WorkPath.cpp)
