target_sources(korv_core PRIVATE common/PathText.cpp common/CommandLine.cpp common/TickCount.cpp)
