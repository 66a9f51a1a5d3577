target_sources(korv_core PRIVATE app/ProjectList.cpp app/TrayText.cpp)
