// The Webs submenu: the project list file and the project headers, re-read
// every time the popup menu opens. Main thread only. The files belong to the
// capture application: the list is read without sharing, as it expects, the
// project files with read and write sharing, as it may hold them open.
#include "app/Projects.h"

#include <windows.h>

#include <algorithm>

#include "common/AnsiText.h"
#include "app/KorvSchdMain.h"
#include "app/ProjectList.h"
#include "app/TrayText.h"
#include "common/Win32Handles.h"
#include "common/WorkPath.h"
#include "browser/Browser.h"
#include "res/resource.h"

namespace {
constexpr char kProjectListName[] = "webs.dat";

// Up to limit bytes from the start of an open file; a failed read ends early.
std::string ReadFileStart(HANDLE file, std::size_t limit) {
  std::string bytes;
  char chunk[4096];
  while (bytes.size() < limit) {
    const DWORD wanted = static_cast<DWORD>(std::min(sizeof chunk, limit - bytes.size()));
    DWORD got = 0;
    if (!::ReadFile(file, chunk, wanted, &got, nullptr) || got == 0) break;
    bytes.append(chunk, got);
  }
  return bytes;
}

// The list's lines; no lines when the file is missing or held by another
// program, so the menu then shows no project.
std::vector<std::string> LoadProjectList(const std::string& path) {
  UniqueFile file{::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)};
  if (!file) return {};
  return SplitProjectList(ReadFileStart(file.Get(), std::string().max_size()));
}
}  // namespace

// Opening the existing file answers whether one exists under the name: a
// missing name, a folder and a name with wildcards all fail to open. One call
// fewer per project counts when a thousand are listed.
std::string ReadProjectTitle(const std::string& Path) {
  if (Path.empty()) return {};
  UniqueFile file{::CreateFileA(Path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr)};
  if (!file) return {};
  return ParseProjectTitle(ReadFileStart(file.Get(), kMaxProjectHeaderSize));
}

int TWebSched::FillProjectMenu(HMENU Submenu) {
  const std::string workPath = GetWorkPath();
  Projects.clear();
  while (::GetMenuItemCount(Submenu) > 0) {
    if (!::DeleteMenu(Submenu, 0, MF_BYPOSITION)) break;
  }
  if (workPath.empty()) return 0;
  Projects = LoadProjectList(workPath + kProjectListName);
  for (std::size_t i = 0; i < Projects.size(); ++i) {
    const std::string text = ProjectMenuText(i, ReadProjectTitle(Projects[i]), IsAnsiLeadByte);
    ::AppendMenuA(Submenu, MF_STRING, IDM_PROJECT_FIRST + i, text.c_str());
  }
  return static_cast<int>(Projects.size());
}

void TWebSched::OpenProject(int Index) {
  if (Index < 0 || static_cast<std::size_t>(Index) >= Projects.size()) return;
  if (Browser) Browser->OpenPage(ProjectHomePage(Projects[Index]));
}
