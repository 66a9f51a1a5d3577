// The stand-in browser (browse.exe) copied into a folder of its own under a
// unique name, so that its service name and log belong to one test.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/TestSupport.h"

namespace korvtest {

class StubBrowser {
public:
  // options: the stand-in's option file (see tools/BrowserStub.cpp).
  explicit StubBrowser(const std::string& options = "--serve") {
    static int counter = 0;
    char name[32];
    wsprintfA(name, "BRW%lX%d", ::GetCurrentProcessId(), ++counter);
    base_ = name;
    exe_ = folder_.CopyProgram("browse.exe", base_ + ".exe");
    WriteFileText(folder_.Path() + base_ + ".opt", options);
  }
  ~StubBrowser() {
    WriteFileText(folder_.Path() + base_ + ".quit", "");
    WaitFor([&] { return Count("exit") >= Count("start "); }, 10000);
    program_.Kill();
  }
  StubBrowser(const StubBrowser&) = delete;
  StubBrowser& operator=(const StubBrowser&) = delete;

  const std::string& Exe() const { return exe_; }
  const std::string& Folder() const { return folder_.Path(); }
  // The default service name: the file name upper-cased.
  const std::string& Service() const { return base_; }

  // Starts it from the test and waits until its service is registered.
  bool StartServing(const std::string& extra = "") {
    if (!program_.Start("\"" + exe_ + "\" " + extra, folder_.Path())) return false;
    return WaitFor([&] { return Count("ready ") > 0; }, 10000);
  }

  std::vector<std::string> Lines(const std::string& prefix) const {
    std::vector<std::string> lines;
    std::string text = ReadFileText(folder_.Path() + base_ + ".log");
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(start, end - start);
      if (line.compare(0, prefix.size(), prefix) == 0) lines.push_back(line);
      start = end + 1;
    }
    return lines;
  }
  DWORD ProcessId() const { return program_.ProcessId(); }
  size_t Count(const std::string& prefix) const { return Lines(prefix).size(); }
  std::string Log() const { return ReadFileText(folder_.Path() + base_ + ".log"); }

private:
  TempFolder folder_{"browser"};
  std::string base_;
  std::string exe_;
  RunningProgram program_;
};

}  // namespace korvtest
