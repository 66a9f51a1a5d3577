# Drives a running scheduler from outside (the demonstration uses it).
add_executable(traydriver tools/TrayDriver.cpp)
target_link_libraries(traydriver PRIVATE korv_win)
