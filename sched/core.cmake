target_sources(korv_core PRIVATE sched/InstanceMutexText.cpp sched/DateTime.cpp sched/DueWait.cpp)
