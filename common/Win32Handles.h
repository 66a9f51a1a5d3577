// Owner types for the Win32 handle kinds the program holds.
#pragma once
#include <windows.h>
#include "common/Unique.h"

struct KernelHandleTraits {
  using Type = HANDLE;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { ::CloseHandle(h); }
};
using UniqueHandle = Unique<KernelHandleTraits>;

struct HkeyTraits {
  using Type = HKEY;
  static Type Invalid() { return nullptr; }
  static void Close(Type k) { ::RegCloseKey(k); }
};
using UniqueHkey = Unique<HkeyTraits>;

struct HmenuTraits {
  using Type = HMENU;
  static Type Invalid() { return nullptr; }
  static void Close(Type m) { ::DestroyMenu(m); }
};
using UniqueHmenu = Unique<HmenuTraits>;

struct HiconTraits {
  using Type = HICON;
  static Type Invalid() { return nullptr; }
  static void Close(Type i) { ::DestroyIcon(i); }
};
using UniqueHicon = Unique<HiconTraits>;

struct FindHandleTraits {
  using Type = HANDLE;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) { ::FindClose(h); }
};
using UniqueFindHandle = Unique<FindHandleTraits>;

// Files opened with CreateFileA report failure as INVALID_HANDLE_VALUE.
struct FileHandleTraits {
  using Type = HANDLE;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) { ::CloseHandle(h); }
};
using UniqueFile = Unique<FileHandleTraits>;
