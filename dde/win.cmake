target_sources(korv_win PRIVATE dde/DdemanEx.cpp)
