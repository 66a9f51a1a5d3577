#include "tests/win/ImportPatch.h"

#include <tlhelp32.h>

#include <cstring>
#include <vector>

#include "common/Win32Handles.h"

namespace korvtest {
namespace {
template <class T>
bool ReadAt(HANDLE process, const BYTE* at, T& value) {
  SIZE_T got = 0;
  return ::ReadProcessMemory(process, at, &value, sizeof value, &got) && got == sizeof value;
}

std::string ReadText(HANDLE process, const BYTE* at) {
  char text[256] = {};
  SIZE_T got = 0;
  // A name may end close to the end of its section: read what can be read.
  for (SIZE_T size = sizeof text - 1; size > 0; size /= 2) {
    if (::ReadProcessMemory(process, at, text, size, &got)) break;
  }
  return std::string(text, strnlen(text, got));
}

BYTE* ModuleBase(DWORD processId, const std::string& moduleName) {
  UniqueHandle snapshot{::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId)};
  if (!snapshot || snapshot.Get() == INVALID_HANDLE_VALUE) return nullptr;
  MODULEENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Module32First(snapshot.Get(), &entry); more; more = ::Module32Next(snapshot.Get(), &entry)) {
    if (lstrcmpiA(entry.szModule, moduleName.c_str()) == 0) return entry.modBaseAddr;
  }
  return nullptr;
}

// The address of the import table's slot for dll!function, or null. The
// program under test is of the test's own architecture, so the headers'
// native forms (32- or 64-bit) are the program's.
BYTE* ImportSlot(HANDLE process, BYTE* base, const char* dll, const char* function) {
  IMAGE_DOS_HEADER dos{};
  IMAGE_NT_HEADERS nt{};
  if (!ReadAt(process, base, dos) || !ReadAt(process, base + dos.e_lfanew, nt)) return nullptr;
  const IMAGE_DATA_DIRECTORY imports = nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  for (BYTE* at = base + imports.VirtualAddress;; at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
    IMAGE_IMPORT_DESCRIPTOR descriptor{};
    if (!ReadAt(process, at, descriptor) || descriptor.Name == 0) return nullptr;
    if (lstrcmpiA(ReadText(process, base + descriptor.Name).c_str(), dll) != 0) continue;
    // The names are in the lookup table; the address table beside it holds
    // the bound addresses.
    const DWORD names = descriptor.OriginalFirstThunk ? descriptor.OriginalFirstThunk : descriptor.FirstThunk;
    for (DWORD i = 0;; ++i) {
      IMAGE_THUNK_DATA entry{};
      if (!ReadAt(process, base + names + i * sizeof entry, entry) || entry.u1.AddressOfData == 0) break;
      if (IMAGE_SNAP_BY_ORDINAL(entry.u1.Ordinal)) continue;
      if (ReadText(process, base + entry.u1.AddressOfData + 2) == function) {
        return base + descriptor.FirstThunk + i * sizeof entry;
      }
    }
  }
}

// The replacement's bytes, for code placed at `at`.
std::vector<BYTE> ReplacementCode(bool failFromSize, DWORD value, ULONG_PTR original, const BYTE* at) {
#ifdef _WIN64
  static_cast<void>(at);
  // One calling convention, the caller's stack: xor eax, eax; ret
  if (!failFromSize) return {0x31, 0xC0, 0xC3};
  std::vector<BYTE> code = {
      0x48, 0x81, 0xF9, 0, 0, 0, 0,     // cmp rcx, value: the size asked for
      0x73, 0x06,                       // jae fail
      0xFF, 0x25, 0x03, 0, 0, 0,        // jmp [rip + 3]: the original's address
      0x31, 0xC0, 0xC3,                 // fail: xor eax, eax; ret
      0,    0,    0,    0, 0, 0, 0, 0,  // offset 18: the original's address
  };
  std::memcpy(&code[3], &value, 4);
  std::memcpy(&code[18], &original, 8);
  return code;
#else
  if (!failFromSize) {
    // xor eax, eax; ret N (a plain ret for cdecl)
    if (value == 0) return {0x31, 0xC0, 0xC3};
    return {0x31, 0xC0, 0xC2, static_cast<BYTE>(value & 0xFF), static_cast<BYTE>(value >> 8)};
  }
  const DWORD originalAt = static_cast<DWORD>(reinterpret_cast<UINT_PTR>(at)) + 20;
  std::vector<BYTE> code = {
      0x8B, 0x44, 0x24, 0x04,        // mov eax, [esp+4]: the size asked for
      0x3D, 0,    0,    0,    0,     // cmp eax, value
      0x73, 0x06,                    // jae fail
      0xFF, 0x25, 0,    0,    0, 0,  // jmp [original]
      0x31, 0xC0, 0xC3,              // fail: xor eax, eax; ret
      0,    0,    0,    0,           // offset 20: the original's address
  };
  std::memcpy(&code[5], &value, 4);
  std::memcpy(&code[13], &originalAt, 4);
  std::memcpy(&code[20], &original, 4);
  return code;
#endif
}

void* PlaceCode(HANDLE process, bool failFromSize, DWORD value, ULONG_PTR original) {
  // Never freed: a thread of the program may still be inside it after the
  // original is back, and it ends with the program.
  auto* at =
      static_cast<BYTE*>(::VirtualAllocEx(process, nullptr, 64, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE));
  if (!at) return nullptr;
  const std::vector<BYTE> code = ReplacementCode(failFromSize, value, original, at);
  SIZE_T written = 0;
  if (!::WriteProcessMemory(process, at, code.data(), code.size(), &written) || written != code.size()) return nullptr;
  ::FlushInstructionCache(process, at, code.size());
  return at;
}

// One aligned pointer store, so that a call made meanwhile takes either the
// old or the new address.
bool WriteSlot(HANDLE process, BYTE* slot, ULONG_PTR value) {
  DWORD old = 0;
  if (!::VirtualProtectEx(process, slot, sizeof value, PAGE_READWRITE, &old)) return false;
  SIZE_T written = 0;
  const bool ok = ::WriteProcessMemory(process, slot, &value, sizeof value, &written) && written == sizeof value;
  DWORD ignored = 0;
  ::VirtualProtectEx(process, slot, sizeof value, old, &ignored);
  return ok;
}
}  // namespace

ImportPatch::ImportPatch(HANDLE process, DWORD processId, const std::string& moduleName, const char* dll,
                         const char* function, ReturnZero replacement)
    : ImportPatch(process, processId, moduleName, dll, function, false, replacement.ArgumentBytes) {}

ImportPatch::ImportPatch(HANDLE process, DWORD processId, const std::string& moduleName, const char* dll,
                         const char* function, FailFromSize replacement)
    : ImportPatch(process, processId, moduleName, dll, function, true, replacement.Bytes) {}

ImportPatch::ImportPatch(HANDLE process, DWORD processId, const std::string& moduleName, const char* dll,
                         const char* function, bool failFromSize, DWORD value)
    : process_(process) {
  BYTE* base = ModuleBase(processId, moduleName);
  if (!base) {
    error_ = "module " + moduleName + " not found in process " + std::to_string(processId);
    return;
  }
  BYTE* slot = ImportSlot(process, base, dll, function);
  if (!slot) {
    error_ = std::string("no import of ") + dll + "!" + function + " in " + moduleName;
    return;
  }
  void* replacement = ReadAt(process, slot, original_) ? PlaceCode(process, failFromSize, value, original_) : nullptr;
  if (!replacement) {
    error_ = "code could not be placed in process " + std::to_string(processId);
    return;
  }
  if (!WriteSlot(process, slot, reinterpret_cast<ULONG_PTR>(replacement))) {
    error_ = "import slot could not be written, error " + std::to_string(::GetLastError());
    return;
  }
  slot_ = slot;
}

ImportPatch::~ImportPatch() { Restore(); }

void ImportPatch::Restore() {
  if (slot_) WriteSlot(process_, slot_, original_);
  slot_ = nullptr;
}

}  // namespace korvtest
