// The Webs submenu: the project list file, re-read every time the popup menu
// opens, and the project titles, whose headers are re-read only when their
// file's metadata changed (ProjectTitles.h); the entries of the kept submenu
// are changed only where they differ. Main thread only. The files belong to
// the capture application: the list is read without sharing, as it expects,
// the project files with read and write sharing, as it may hold them open.
// Only regular disk files are opened: a device or a pipe could block the main
// thread on its read.
#include "app/Projects.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "app/KorvSchdMain.h"
#include "app/ProjectFileName.h"
#include "app/ProjectList.h"
#include "app/TrayText.h"
#include "browser/Browser.h"
#include "common/AnsiText.h"
#include "common/Win32Handles.h"
#include "common/WorkPath.h"
#include "res/resource.h"

namespace {
constexpr char kProjectListName[] = "webs.dat";

std::uint64_t Join(DWORD high, DWORD low) { return (static_cast<std::uint64_t>(high) << 32) | low; }
std::uint64_t Join(const FILETIME& time) { return Join(time.dwHighDateTime, time.dwLowDateTime); }

// A regular file, judged before it is opened: by its name first, as asking a
// pipe for its attributes opens it; then devices and the special files of the
// host under Wine have no attributes, or the device attribute, or no size.
std::optional<TFileStamp> LookAtDiskFile(const std::string& path) {
  if (!MayNameProjectFile(path)) return std::nullopt;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  if (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) return std::nullopt;
  return TFileStamp{Join(data.nFileSizeHigh, data.nFileSizeLow), Join(data.ftCreationTime), Join(data.ftLastWriteTime)};
}

// Opened only when the name and the attributes say it is a regular file, and
// read only when the handle says it is one on disk too.
UniqueFile OpenDiskFile(const std::string& path, DWORD sharing) {
  if (!MayNameProjectFile(path)) return {};
  UniqueFile file{
      ::CreateFileA(path.c_str(), GENERIC_READ, sharing, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)};
  if (!file || ::GetFileType(file.Get()) != FILE_TYPE_DISK) return {};
  return file;
}

// Up to limit bytes from the start of an open file; none when a read fails.
std::optional<std::string> ReadFileStart(HANDLE file, std::size_t limit, std::size_t chunk) {
  std::string bytes;
  std::size_t have = 0;
  while (have < limit) {
    bytes.resize(have + std::min(chunk, limit - have));
    DWORD got = 0;
    if (!::ReadFile(file, bytes.data() + have, static_cast<DWORD>(bytes.size() - have), &got, nullptr)) {
      return std::nullopt;
    }
    if (got == 0) break;
    have += got;
  }
  bytes.resize(have);
  return bytes;
}

bool HoldsText(HMENU menu, int position, const std::string& text) {
  char shown[128];
  const int n = ::GetMenuStringA(menu, position, shown, sizeof shown, MF_BYPOSITION);
  return n >= 0 && static_cast<std::size_t>(n) == text.size() && std::memcmp(shown, text.data(), text.size()) == 0;
}

// The submenu made to hold exactly these plain entries, commands 200 on,
// whatever it held before (the resource's placeholder, the last list): an
// entry that differs in its command, text or state is rewritten, missing ones
// are added, those left over deleted from the end. Allocates nothing, so it
// either sets every entry or has not begun.
void SetProjectEntries(HMENU submenu, const std::vector<std::string>& texts) noexcept {
  const int wanted = static_cast<int>(texts.size());
  const int have = std::max(::GetMenuItemCount(submenu), 0);
  for (int i = 0; i < std::min(have, wanted); ++i) {
    const UINT command = IDM_PROJECT_FIRST + i;
    if (::GetMenuItemID(submenu, i) == command && ::GetMenuState(submenu, i, MF_BYPOSITION) == MF_STRING &&
        HoldsText(submenu, i, texts[i])) {
      continue;
    }
    ::ModifyMenuA(submenu, i, MF_BYPOSITION | MF_STRING, command, texts[i].c_str());
  }
  for (int i = have - 1; i >= wanted; --i) ::DeleteMenu(submenu, i, MF_BYPOSITION);
  for (int i = have; i < wanted; ++i) ::AppendMenuA(submenu, MF_STRING, IDM_PROJECT_FIRST + i, texts[i].c_str());
}

// The list's lines, read up to the bound; no lines when the file is missing,
// held by another program or no regular file, so the menu then shows no
// project.
std::vector<std::string> LoadProjectList(const std::string& path) {
  if (!LookAtDiskFile(path)) return {};
  UniqueFile file = OpenDiskFile(path, 0);
  if (!file) return {};
  // One byte past the bound tells whether the file goes on.
  auto bytes = ReadFileStart(file.Get(), kMaxProjectListSize + 1, 1 << 16);
  if (!bytes) return {};
  const bool whole = bytes->size() <= kMaxProjectListSize;
  if (!whole) bytes->resize(kMaxProjectListSize);
  return SplitProjectList(*bytes, whole);
}
}  // namespace

std::uint64_t TDiskProjectFiles::Now() {
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  return Join(now);
}

std::optional<TFileStamp> TDiskProjectFiles::Look(const std::string& path) { return LookAtDiskFile(path); }

std::optional<std::string> TDiskProjectFiles::ReadTitle(const std::string& path) {
  UniqueFile file = OpenDiskFile(path, FILE_SHARE_READ | FILE_SHARE_WRITE);
  if (!file) return std::nullopt;
  const auto header = ReadFileStart(file.Get(), kMaxProjectHeaderSize, kMaxProjectHeaderSize);
  if (!header) return std::nullopt;
  return ParseProjectTitle(*header);
}

std::string ReadProjectTitle(const std::string& Path) {
  TDiskProjectFiles files;
  return ProjectTitle(Path, files);
}

int TWebSched::FillProjectMenu(HMENU Submenu) {
  const std::string workPath = GetWorkPath();
  Projects.clear();
  TDiskProjectFiles files;
  if (!workPath.empty()) Projects = LoadProjectList(workPath + kProjectListName);
  const std::vector<std::string> titles = ProjectTitles.Titles(Projects, files);
  std::vector<std::string> texts;
  texts.reserve(Projects.size());
  for (std::size_t i = 0; i < Projects.size(); ++i) texts.push_back(ProjectMenuText(i, titles[i], IsAnsiLeadByte));
  SetProjectEntries(Submenu, texts);
  return static_cast<int>(Projects.size());
}

void TWebSched::OpenProject(int Index) {
  if (Index < 0 || static_cast<std::size_t>(Index) >= Projects.size()) return;
  if (Browser) Browser->OpenPage(ProjectHomePage(Projects[Index]));
}
