#include "bench/soak/SoakRig.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "common/PathText.h"
#include "tests/win/SchedFixture.h"

using namespace korvtest;

namespace soak {

bool LogTail::Update() {
  std::ifstream in(path_, std::ios::binary);
  if (!in.seekg(static_cast<std::streamoff>(read_))) return false;
  const std::string added{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  // Only whole lines: a line being written is taken on the next look.
  const std::size_t end = added.rfind('\n');
  if (end == std::string::npos) return false;
  for (std::size_t start = 0; start <= end;) {
    const std::size_t stop = added.find('\n', start);
    const std::size_t word = added.find_first_of(" =\r\n", start);
    const std::string first = added.substr(start, word - start);
    ++counts_[first];
    last_[first] = added.substr(start, stop - start);
    ++lines_;
    start = stop + 1;
  }
  read_ += end + 1;
  return true;
}

std::size_t LogTail::Count(const std::string& word) const {
  const auto found = counts_.find(word);
  return found == counts_.end() ? 0 : found->second;
}

std::string LogTail::Last(const std::string& word) const {
  const auto found = last_.find(word);
  return found == last_.end() ? std::string() : found->second;
}

bool SoakShell::Start() {
  End();
  log_.Update();
  const std::size_t ready = log_.Count("ready");
  const std::string logPath = folder_.Path() + "shell.log";
  if (!process_.Start("\"" + BinDir() + "soak_shell.exe\" \"" + logPath + "\"")) return false;
  return WaitFor(
      [&] {
        log_.Update();
        return log_.Count("ready") > ready;
      },
      15000);
}

std::size_t SoakShell::Adds() {
  log_.Update();
  return log_.Count("add");
}

UINT SoakShell::LatestIconOf(HWND window) {
  log_.Update();
  unsigned long owner = 0;
  unsigned id = 0;
  if (std::sscanf(log_.Last("add").c_str(), "add %lX %X", &owner, &id) != 2) return 0;
  return owner == static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(window)) ? id : 0;
}

namespace {
std::string UniqueBase() {
  char name[32];
  wsprintfA(name, "SOAK%lX", ::GetCurrentProcessId());
  return name;
}
}  // namespace

SoakBrowser::SoakBrowser()
    : base_(UniqueBase()),
      exe_(folder_.CopyProgram("browse.exe", base_ + ".exe")),
      log_(folder_.Path() + base_ + ".log") {
  // No options of its own: serving is asked on the command line, so the
  // copies that the program starts with a page only record it.
  WriteFileText(folder_.Path() + base_ + ".opt", "");
}

SoakBrowser::~SoakBrowser() { StopServing(); }

bool SoakBrowser::StartServing() {
  if (serving_) return true;
  log_.Update();
  const std::size_t ready = log_.Count("ready");
  // Its life bounds it in case this bench dies first.
  if (!server_.Start("\"" + exe_ + "\" --serve --life 86400000", folder_.Path())) return false;
  serving_ = WaitFor(
      [&] {
        log_.Update();
        return log_.Count("ready") > ready;
      },
      15000);
  return serving_;
}

bool SoakBrowser::StopServing() {
  if (!server_.Process()) return true;
  const std::string quit = folder_.Path() + base_ + ".quit";
  WriteFileText(quit, "");
  const bool ended = server_.WaitExit(10000) != STILL_ACTIVE;
  server_.Kill();
  ::DeleteFileA(quit.c_str());
  serving_ = false;
  return ended;
}

std::size_t SoakBrowser::Requests() {
  log_.Update();
  return log_.Count("request");
}

std::size_t SoakBrowser::Pages() {
  log_.Update();
  return log_.Count("page");
}

SoakRig::SoakRig() {
  schedtest::CleanRegistry();
  program_.CopyProgram("KorvSchd.exe");
  program_.CopyProgram("KORV98.EXE");
  WriteWorkFolder();
  workPath_.Set(work_.Path());
}

SoakRig::~SoakRig() {
  if (scheduler_.program.WaitExit(0) == STILL_ACTIVE) Close();
  schedtest::CleanRegistry();
}

void SoakRig::WriteWorkFolder() {
  std::vector<std::string> titles;
  for (int i = 0; i < kProjects; ++i) titles.push_back("Site captur\xE9 num\xE9ro " + std::to_string(i));
  for (const std::string& project : korvtest::WriteWorkFolder(work_.Path(), titles, 4096)) {
    WriteFileText(FolderOf(project) + "_accueil.htm", "<html></html>");
  }
  WriteBrowserChoice(work_.Path(), browser_.Exe());
}

bool SoakRig::Start() {
  if (!shell_.Start() || !scheduler_.Start(program_.Path() + "KorvSchd.exe")) return false;
  return WaitFor([&] { return (iconId_ = shell_.LatestIconOf(scheduler_.window)) != 0; }, 15000);
}

DWORD SoakRig::Close() {
  const DWORD code = scheduler_.Close(15000);
  schedtest::CleanRegistry();
  return code;
}

}  // namespace soak
