// The threads library of the MinGW-w64 runtime calls GetTickCount64, which
// XP's kernel32 lacks: an executable importing it does not even start there.
// Linked as an object into the shipped programs, the import slot defined here
// takes the place of kernel32's, and the call goes to the system's function
// where it exists, else to the 32-bit count made 64-bit. Any thread.
#include <windows.h>

#include <atomic>
#include <cstdint>

#include "common/TickCount.h"

namespace {
using TickCount64Function = ULONGLONG(WINAPI*)();

// Looked up on each call until found: no static initialisation (which takes
// a lock of the threads library) before the first wait may run.
std::atomic<TickCount64Function> g_system{nullptr};
std::atomic<bool> g_lookedUp{false};
std::atomic<std::uint64_t> g_last{0};

ULONGLONG WINAPI TickCount64() {
  if (!g_lookedUp.load(std::memory_order_acquire)) {
    HMODULE kernel32 = ::GetModuleHandleA("kernel32.dll");
    auto found = kernel32 ? reinterpret_cast<TickCount64Function>(
                                reinterpret_cast<void*>(::GetProcAddress(kernel32, "GetTickCount64")))
                          : nullptr;
    g_system.store(found, std::memory_order_relaxed);
    g_lookedUp.store(true, std::memory_order_release);
  }
  if (TickCount64Function system = g_system.load(std::memory_order_relaxed)) return system();
  // Each thread moves the shared last count forward only; a thread that lost
  // the race reads the clock again against the newer count.
  std::uint64_t last = g_last.load();
  for (;;) {
    const std::uint64_t count = ExtendTickCount(last, ::GetTickCount());
    if (count == last || g_last.compare_exchange_weak(last, count)) return count;
  }
}
}  // namespace

// The import slot's own name, as the import library spells it (i686 decorates
// stdcall names; x86_64 has no such decoration and no leading underscore).
#ifdef _WIN64
extern "C" TickCount64Function korvTickCount64Slot __asm__("__imp_GetTickCount64");
#else
extern "C" TickCount64Function korvTickCount64Slot __asm__("__imp__GetTickCount64@0");
#endif
TickCount64Function korvTickCount64Slot = TickCount64;
