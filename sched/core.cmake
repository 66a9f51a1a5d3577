target_sources(korv_core PRIVATE sched/LaunchText.cpp sched/DateTime.cpp sched/DueWait.cpp sched/PeerCommand.cpp)
