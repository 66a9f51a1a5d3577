target_sources(korv_core PRIVATE app/PathText.cpp)
