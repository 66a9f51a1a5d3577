target_sources(korv_win PRIVATE app/BoundedCall.cpp app/OwnInstance.cpp app/KorvSchdMain.cpp app/Tray.cpp app/Projects.cpp app/LaterWindows.cpp)
