#include "bench/soak/ProcessCounters.h"

#include <psapi.h>
#include <tlhelp32.h>

#include <cstddef>
#include <vector>

#include "common/Win32Handles.h"

namespace soak {
namespace {
constexpr ULONG kSystemHandleInformation = 16;
constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
using QuerySystem = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);
using QueryProcess = LONG(WINAPI*)(HANDLE, ULONG, void*, ULONG, ULONG*);

struct HandleEntry {
  ULONG OwnerPid;
  BYTE ObjectType;
  BYTE Flags;
  USHORT Value;
  void* Object;
  ULONG Access;
};
// The list's count, then its entries at their own alignment (offset 8 on
// 64-bit Windows).
struct HandleList {
  ULONG Count;
  HandleEntry Entries[1];
};

// Wine's GDI handle table: 65,536 entries of 24 bytes; an entry in use has a
// non-zero type byte at offset 14, in 32- and 64-bit processes alike. The
// table's address is in the PEB.
constexpr std::size_t kGdiEntries = 0x10000, kGdiEntrySize = 24, kGdiTypeOffset = 14;
constexpr std::size_t kPebGdiTableOffset = sizeof(void*) == 4 ? 0x94 : 0xF8;

struct BasicInformation {
  LONG ExitStatus;
  void* Peb;
  ULONG_PTR Affinity, Priority, ProcessId, ParentId;
};

template <class F>
F NtFunction(const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("ntdll.dll"), name)));
}

struct WindowCount {
  DWORD ProcessId;
  long long Count;
};

BOOL CALLBACK CountChild(HWND window, LPARAM param) {
  auto* count = reinterpret_cast<WindowCount*>(param);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (owner == count->ProcessId) ++count->Count;
  return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND window, LPARAM param) {
  CountChild(window, param);
  ::EnumChildWindows(window, CountChild, param);
  return TRUE;
}
}  // namespace

long long ListedHandles(DWORD processId) {
  auto query = NtFunction<QuerySystem>("NtQuerySystemInformation");
  if (!query) return -1;
  std::vector<unsigned char> buffer(256 * 1024);
  for (;;) {
    ULONG needed = 0;
    const LONG status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
    if (status == kInfoLengthMismatch && buffer.size() < (64u << 20)) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (status != 0) return -1;
    break;
  }
  const auto* list = reinterpret_cast<const HandleList*>(buffer.data());
  const ULONG count = list->Count;
  if (offsetof(HandleList, Entries) + count * sizeof(HandleEntry) > buffer.size()) return -1;
  const HandleEntry* entries = list->Entries;
  long long mine = 0;
  for (ULONG i = 0; i < count; ++i) mine += entries[i].OwnerPid == processId;
  return mine;
}

long long GdiTableEntries(HANDLE process) {
  auto query = NtFunction<QueryProcess>("NtQueryInformationProcess");
  if (!query) return -1;
  BasicInformation basic{};
  if (query(process, 0, &basic, sizeof basic, nullptr) != 0 || !basic.Peb) return -1;
  ULONG_PTR table = 0;
  SIZE_T got = 0;
  if (!::ReadProcessMemory(process, static_cast<char*>(basic.Peb) + kPebGdiTableOffset, &table, sizeof table, &got) ||
      got != sizeof table || !table) {
    return -1;
  }
  std::vector<unsigned char> entries(kGdiEntries * kGdiEntrySize);
  if (!::ReadProcessMemory(process, reinterpret_cast<void*>(table), entries.data(), entries.size(), &got) ||
      got != entries.size()) {
    return -1;
  }
  long long used = 0;
  for (std::size_t i = 0; i < kGdiEntries; ++i) used += entries[i * kGdiEntrySize + kGdiTypeOffset] != 0;
  return used;
}

long long WindowsOf(DWORD processId) {
  WindowCount count{processId, 0};
  ::EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&count));
  for (HWND window = ::FindWindowExA(HWND_MESSAGE, nullptr, nullptr, nullptr); window;
       window = ::FindWindowExA(HWND_MESSAGE, window, nullptr, nullptr)) {
    CountTopLevel(window, reinterpret_cast<LPARAM>(&count));
  }
  return count.Count;
}

long long ThreadsOf(DWORD processId) {
  UniqueHandle snapshot{::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0)};
  if (!snapshot || snapshot.Get() == INVALID_HANDLE_VALUE) return -1;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  long long threads = 0;
  for (BOOL more = ::Thread32First(snapshot.Get(), &entry); more; more = ::Thread32Next(snapshot.Get(), &entry)) {
    threads += entry.th32OwnerProcessID == processId;
  }
  return threads;
}

void ProcessCounters::Choose() {
  DWORD handles = 0;
  handles_ = ::GetProcessHandleCount(process_, &handles) && handles > 0 ? Source::Documented : Source::Fallback;
  gdi_ = ::GetGuiResources(process_, GR_GDIOBJECTS) > 0 ? Source::Documented : Source::Fallback;
  user_ = ::GetGuiResources(process_, GR_USEROBJECTS) > 0 ? Source::Documented : Source::Fallback;
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof memory;
  const bool extended =
      ::GetProcessMemoryInfo(process_, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory) &&
      memory.cb == sizeof memory && memory.PrivateUsage > 0;
  private_ = extended ? Source::Documented : Source::Fallback;
}

ProcessCounts ProcessCounters::Read() const {
  ProcessCounts c;
  DWORD handles = 0;
  if (handles_ == Source::Documented) {
    if (::GetProcessHandleCount(process_, &handles)) c.KernelHandles = handles;
  } else {
    c.KernelHandles = ListedHandles(processId_);
  }
  c.GdiObjects = gdi_ == Source::Documented ? ::GetGuiResources(process_, GR_GDIOBJECTS) : GdiTableEntries(process_);
  c.UserObjects = user_ == Source::Documented ? ::GetGuiResources(process_, GR_USEROBJECTS) : WindowsOf(processId_);
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof memory;
  if (::GetProcessMemoryInfo(process_, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory)) {
    // Windows documents PagefileUsage as the process's private commit, the
    // same figure as PrivateUsage; Wine fills only the first.
    c.PrivateBytes =
        static_cast<long long>(private_ == Source::Documented ? memory.PrivateUsage : memory.PagefileUsage);
    c.WorkingSet = static_cast<long long>(memory.WorkingSetSize);
  }
  c.Threads = ThreadsOf(processId_);
  return c;
}

std::string ProcessCounters::Sources() const {
  std::string text;
  text += handles_ == Source::Documented
              ? "kernel handles: GetProcessHandleCount\n"
              : "kernel handles: GetProcessHandleCount reports 0 here; entries of the system handle list "
                "(NtQuerySystemInformation) owned by the process\n";
  text += gdi_ == Source::Documented
              ? "GDI objects: GetGuiResources\n"
              : "GDI objects: GetGuiResources reports 0 here; entries in use in the process's GDI handle table "
                "(icons count their bitmaps)\n";
  text += user_ == Source::Documented
              ? "USER objects: GetGuiResources\n"
              : "USER objects: GetGuiResources reports 0 here; the process's windows (top-level, child and "
                "message-only) are counted; menus, icons and cursors cannot be counted from outside\n";
  text += private_ == Source::Documented ? "private bytes: GetProcessMemoryInfo PrivateUsage\n"
                                         : "private bytes: GetProcessMemoryInfo PagefileUsage (PrivateUsage is "
                                           "empty here; Windows documents both as the private commit)\n";
  text += "working set: GetProcessMemoryInfo; threads: Toolhelp snapshot\n";
  return text;
}

}  // namespace soak
