target_sources(korv_win PRIVATE sched/CaptureApp.cpp sched/ThreadSync.cpp sched/ThreadWakeUp.cpp
  sched/ScheduleRegistry.cpp sched/LocalClock.cpp)
