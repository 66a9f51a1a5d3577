target_sources(korv_core PRIVATE dde/DdeText.cpp dde/ComponentText.cpp)
