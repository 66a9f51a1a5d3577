// Failures that a test cannot cause from outside by ordinary means, caused
// from outside all the same: one imported function of a running program's
// main module is replaced, through its import address table, by a few bytes
// of code that answer 0 (OpenMutexA finding nothing, malloc failing as in a
// process whose address space is used up). Nothing in the program
// under test is built for tests.
#pragma once
#include <windows.h>

#include <string>

namespace korvtest {

// Always 0, from a function taking that many bytes of stdcall arguments
// (0 for cdecl; 64-bit code has one convention and ignores it).
struct ReturnZero {
  WORD ArgumentBytes = 0;
};
// An allocator (cdecl, its size first) that gives 0 from that size on and
// passes smaller requests to the original: the runtime's own crumbs (its
// lazily made locks) still come, as they do when a large process runs out.
struct FailFromSize {
  DWORD Bytes = 0;
};

class ImportPatch {
public:
  // The import `function` from `dll` of the module `moduleName` (its file
  // name) in `process`.
  ImportPatch(HANDLE process, DWORD processId, const std::string& moduleName, const char* dll, const char* function,
              ReturnZero replacement);
  ImportPatch(HANDLE process, DWORD processId, const std::string& moduleName, const char* dll, const char* function,
              FailFromSize replacement);
  // Puts the original function back.
  ~ImportPatch();
  ImportPatch(const ImportPatch&) = delete;
  ImportPatch& operator=(const ImportPatch&) = delete;

  // Empty when the patch is in place, otherwise what went wrong.
  const std::string& Error() const { return error_; }
  void Restore();

private:
  ImportPatch(HANDLE process, DWORD processId, const std::string& moduleName, const char* dll, const char* function,
              bool failFromSize, DWORD value);

  HANDLE process_;
  BYTE* slot_ = nullptr;
  ULONG_PTR original_ = 0;
  std::string error_;
};

}  // namespace korvtest
