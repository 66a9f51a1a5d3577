#include "bench/soak/WineLeaks.h"

#include <windows.h>
#include <ddeml.h>

#include "bench/soak/ProcessCounters.h"
#include "dde/DdeHandles.h"
#include "tests/support/TestSupport.h"

namespace soak {
namespace {
constexpr int kCalls = 3;

HDDEDATA CALLBACK NoService(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) { return nullptr; }

// Per call, rounded to the nearest whole object.
long long PerCall(long long before, long long after) { return (after - before + kCalls / 2) / kCalls; }
}  // namespace

WineLeaks MeasureWineLeaks(const std::string& browserExe) {
  WineLeaks leaks;
  const DWORD self = ::GetCurrentProcessId();
  korvtest::TempFolder folder{"soakctl"};
  const std::string exe = folder.Path() + "SOAKCTL.exe";
  if (!::CopyFileA(browserExe.c_str(), exe.c_str(), FALSE)) return leaks;
  korvtest::WriteFileText(folder.Path() + "SOAKCTL.opt", "");
  const std::string command = "\"" + exe + "\" about:blank";
  // The first call loads what every later one reuses.
  if (::WinExec(command.c_str(), SW_SHOWNORMAL) <= 31) return leaks;
  const long long handlesBefore = ListedHandles(self);
  for (int i = 0; i < kCalls; ++i) ::WinExec(command.c_str(), SW_SHOWNORMAL);
  const long long handlesAfter = ListedHandles(self);

  DWORD instance = 0;
  if (::DdeInitializeA(&instance, NoService, APPCLASS_STANDARD | APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) return leaks;
  UniqueDdeInstance owner(instance);
  const std::string service = "SOAKNOSERVER" + std::to_string(self);
  UniqueDdeString serviceName(instance, service.c_str()), topic(instance, "WWW_OpenURL");
  auto connect = [&] {
    CONVCONTEXT context{};
    context.cb = sizeof context;
    context.iCodePage = CP_WINANSI;
    if (HCONV conversation = ::DdeConnect(instance, serviceName.Handle(), topic.Handle(), &context)) {
      ::DdeDisconnect(conversation);
    }
  };
  connect();
  const long long windowsBefore = WindowsOf(self);
  for (int i = 0; i < kCalls; ++i) connect();
  const long long windowsAfter = WindowsOf(self);
  if (handlesBefore < 0 || handlesAfter < 0 || windowsBefore < 0 || windowsAfter < 0) return leaks;
  leaks.HandlesPerWindowedStart = PerCall(handlesBefore, handlesAfter);
  leaks.WindowsPerFailedConnect = PerCall(windowsBefore, windowsAfter);
  leaks.Measured = true;
  return leaks;
}

}  // namespace soak
