target_sources(korv_core PRIVATE app/ProjectFileName.cpp app/ProjectList.cpp app/ProjectTitles.cpp app/TrayText.cpp app/IconSide.cpp)
