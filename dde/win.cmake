target_sources(korv_win PRIVATE)
