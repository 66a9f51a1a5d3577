# Drives a running scheduler from outside (the demonstration uses it).
add_executable(traydriver tools/TrayDriver.cpp)
