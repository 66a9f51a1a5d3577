target_sources(korv_core PRIVATE sched/LaunchText.cpp)
