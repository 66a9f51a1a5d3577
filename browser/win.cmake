target_sources(korv_win PRIVATE browser/Browser.cpp)
