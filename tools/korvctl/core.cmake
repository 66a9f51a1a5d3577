# korvctl's argument parsing and texts: platform-free, tested natively too.
add_library(korvctl_core STATIC tools/korvctl/PeerCommand.cpp)
target_link_libraries(korvctl_core PUBLIC korv_core)
