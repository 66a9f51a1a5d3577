target_sources(korv_core PRIVATE browser/BrowserText.cpp)
