# Stand-in web browser for the DDE and browser tests (see tools/BrowserStub.cpp).
add_executable(browser_stub WIN32 tools/BrowserStub.cpp)
set_target_properties(browser_stub PROPERTIES OUTPUT_NAME browse)
