// Program body: one copy only, the main object, its message loop, teardown.
// An error that nothing else catches ends the program with the runtime's
// "Application Error" box and exit code 1.
#include <windows.h>

#include <memory>

#include "app/KorvSchdMain.h"
#include "app/OwnInstance.h"
#include "common/Exception.h"
#include "common/ModulePath.h"
#include "common/PathText.h"

namespace {
// Upper-case hex digits at the width of a pointer: 8, or 16 on 64-bit Windows.
void AddressText(const void* address, char (&text)[2 * sizeof(void*) + 1]) {
  auto value = reinterpret_cast<ULONG_PTR>(address);
  for (int i = 2 * sizeof value - 1; i >= 0; --i, value >>= 4) text[i] = "0123456789ABCDEF"[value & 15];
  text[2 * sizeof value] = '\0';
}

void ShowApplicationError(const char* className, const void* address, const char* message) {
  char at[2 * sizeof(void*) + 1];
  AddressText(address, at);
  // wsprintfA writes at most 1024 bytes; its user32 code keeps the C
  // runtime's formatter out of the program.
  char text[1025];
  ::wsprintfA(text, "Exception %s in module %s at %s.\n\n%s.", className, FileNameOf(GetOwnExePath()).c_str(), at,
              message);
  ::MessageBoxA(nullptr, text, "Application Error", MB_OK | MB_ICONERROR | MB_TASKMODAL);
}
}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (!AcquireOwnInstance()) {
    ReleaseOwnInstance();
    return 0;
  }
  try {
    auto webSched = std::make_unique<TWebSched>();
    WebSched = webSched.get();
    webSched->Run();
    webSched.reset();
    WebSched = nullptr;
  } catch (const Exception& e) {
    WebSched = nullptr;
    ShowApplicationError(e.ClassName(), e.Address(), e.what());
    ReleaseOwnInstance();
    return 1;
  } catch (const std::exception& e) {
    WebSched = nullptr;
    ShowApplicationError("Exception", nullptr, e.what());
    ReleaseOwnInstance();
    return 1;
  }
  ReleaseOwnInstance();
  return 0;
}
