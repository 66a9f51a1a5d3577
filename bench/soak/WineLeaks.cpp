#include "bench/soak/WineLeaks.h"

#include <windows.h>
#include <ddeml.h>
#include <psapi.h>

#include <thread>

#include "bench/soak/ProcessCounters.h"
#include "dde/DdeHandles.h"
#include "tests/support/TestSupport.h"

namespace soak {
namespace {
// Enough calls for the heap figures to span many pages; the counts are whole
// objects per call, which a few calls show.
constexpr int kStarts = 20, kFailedConnects = 200, kDdeOpenings = 1000;
constexpr int kFewStarts = 4, kFewFailedConnects = 10;

HDDEDATA CALLBACK NoService(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) { return nullptr; }

// Per call, rounded to the nearest whole unit.
long long PerCall(long long before, long long after, int calls) { return (after - before + calls / 2) / calls; }

// The figure Windows calls private bytes; Wine fills only PagefileUsage.
long long OwnPrivateBytes() {
  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof memory;
  if (!::GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof memory)) return -1;
  return static_cast<long long>(memory.PagefileUsage);
}

// A DDEML instance set up as the program sets up its own: a service name of
// its own registered (Wine's DDEML keeps more per conversation then), every
// conversation asked of it refused.
class BareClient {
public:
  explicit BareClient(const std::string& ownName) {
    DWORD id = 0;
    if (::DdeInitializeA(&id, NoService, APPCLASS_STANDARD, 0) != DMLERR_NO_ERROR) return;
    instance_.Reset(id);
    ownName_ = UniqueDdeString(id, ownName.c_str());
    ::DdeNameService(id, ownName_.Handle(), nullptr, DNS_REGISTER);
  }
  ~BareClient() {
    if (ownName_.Handle()) ::DdeNameService(instance_.Get(), ownName_.Handle(), nullptr, DNS_UNREGISTER);
  }
  BareClient(const BareClient&) = delete;
  BareClient& operator=(const BareClient&) = delete;
  explicit operator bool() const { return static_cast<bool>(instance_); }
  // The calls a page opening makes: names, connect, request, disconnect.
  bool Open(const char* service, const char* item) {
    const DWORD id = instance_.Get();
    UniqueDdeString serviceName(id, service), topic(id, "WWW_OpenURL");
    CONVCONTEXT context{};
    context.cb = sizeof context;
    context.iCodePage = CP_WINANSI;
    HCONV conversation = ::DdeConnect(id, serviceName.Handle(), topic.Handle(), &context);
    if (!conversation) return false;
    UniqueDdeString itemName(id, item);
    DWORD result = 0;
    UniqueDdeData data(
        ::DdeClientTransaction(nullptr, 0, conversation, itemName.Handle(), CF_TEXT, XTYP_REQUEST, 10000, &result));
    if (data) DdeDataAccess access(data.Get());
    ::DdeDisconnect(conversation);
    return true;
  }

private:
  UniqueDdeInstance instance_;
  UniqueDdeString ownName_;
};

void Pump() {
  MSG msg;
  while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&msg);
}
}  // namespace

namespace {
WineLeaks MeasureOnThisThread(const std::string& browserExe, const std::string& service, bool bytes) {
  WineLeaks leaks;
  const DWORD self = ::GetCurrentProcessId();
  korvtest::TempFolder folder{"soakctl"};
  const std::string exe = folder.Path() + "SOAKCTL.exe";
  if (!::CopyFileA(browserExe.c_str(), exe.c_str(), FALSE)) return leaks;
  korvtest::WriteFileText(folder.Path() + "SOAKCTL.opt", "");
  const std::string command = "\"" + exe + "\" about:blank";
  const std::string nobody = "SOAKNOSERVER" + std::to_string(self);
  const char item[] = "\"C:\\soak\\_accueil.htm\",,0xffffffff,0x00000000,,,";
  BareClient client("SOAKCTL" + std::to_string(self));
  if (!client) return leaks;
  // The first calls load what every later one reuses.
  for (int i = 0; i < 3; ++i) {
    client.Open(service.c_str(), item);
    client.Open(nobody.c_str(), item);
    ::WinExec(command.c_str(), SW_SHOWNORMAL);
  }
  Pump();

  const int starts = bytes ? kStarts : kFewStarts, failedConnects = bytes ? kFailedConnects : kFewFailedConnects;
  const long long handles0 = ListedHandles(self);
  for (int i = 0; i < starts; ++i) ::WinExec(command.c_str(), SW_SHOWNORMAL);
  const long long handles1 = ListedHandles(self);
  // The first batch finds room in the heap that Wine set aside earlier; the
  // second shows what each call costs once it has to grow.
  if (bytes) {
    for (int i = 0; i < failedConnects; ++i) client.Open(nobody.c_str(), item);
    Pump();
  }
  const long long windows0 = WindowsOf(self), bytes0 = OwnPrivateBytes();
  for (int i = 0; i < failedConnects; ++i) client.Open(nobody.c_str(), item);
  Pump();
  const long long windows1 = WindowsOf(self), bytes1 = OwnPrivateBytes();
  if (handles0 < 0 || handles1 < 0 || windows0 < 0 || windows1 < 0) return leaks;
  leaks.HandlesPerWindowedStart = PerCall(handles0, handles1, starts);
  leaks.WindowsPerFailedConnect = PerCall(windows0, windows1, failedConnects);
  if (bytes) {
    int opened = 0;
    for (int i = 0; i < kDdeOpenings; ++i) {
      opened += client.Open(service.c_str(), item);
      Pump();
    }
    const long long bytes2 = OwnPrivateBytes();
    if (bytes0 < 0 || bytes2 < 0 || opened != kDdeOpenings) return leaks;
    leaks.BytesPerFailedConnect = PerCall(bytes0, bytes1, failedConnects);
    leaks.BytesPerDdeOpening = PerCall(bytes1, bytes2, kDdeOpenings);
    leaks.BytesMeasured = true;
  }
  leaks.Measured = true;
  return leaks;
}
}  // namespace

WineLeaks MeasureWineLeaks(const std::string& browserExe, const std::string& service, bool bytes) {
  // On a thread of its own, whose end takes the windows that Wine leaves
  // behind with it: they would otherwise get every later broadcast.
  WineLeaks leaks;
  std::thread worker([&] { leaks = MeasureOnThisThread(browserExe, service, bytes); });
  worker.join();
  return leaks;
}

}  // namespace soak
