target_sources(korv_core PRIVATE app/IconSide.cpp app/ProjectFileName.cpp app/ProjectList.cpp app/ProjectTitles.cpp app/TrayText.cpp)
