target_sources(korv_core PRIVATE app/PathText.cpp app/ProjectList.cpp app/TrayText.cpp app/IconSide.cpp app/TickCount.cpp)
