target_sources(korv_core PRIVATE)
