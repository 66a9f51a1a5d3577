#include "browser/Browser.h"

#include <windows.h>

#include <cstring>

#include "browser/BrowserText.h"
#include "common/ProgramStart.h"
#include "common/Win32Handles.h"
#include "common/WorkPath.h"
#include "dde/DdemanEx.h"

namespace {
constexpr char kOpenUrlTopic[] = "WWW_OpenURL";

// RegQueryValueA of a key's default value into the association buffer.
bool ReadDefaultValue(HKEY root, const char* subKey, char (&buffer)[kAssociationBufferSize]) {
  // Zeroed first and its last byte kept zero: a value stored without its
  // terminating zero still ends inside the buffer.
  std::memset(buffer, 0, sizeof buffer);
  LONG size = sizeof buffer;
  if (::RegQueryValueA(root, subKey, buffer, &size) != ERROR_SUCCESS) return false;
  buffer[sizeof buffer - 1] = 0;
  return true;
}

// A file-system search for the name finds an entry that is not a folder; a
// name with wildcards names no file.
bool FileExistsUnder(const std::string& Name) {
  // A search would match a pattern, but no program is started by one.
  if (Name.empty() || Name.find_first_of("*?") != std::string::npos) return false;
  WIN32_FIND_DATAA data;
  UniqueFindHandle find(::FindFirstFileA(Name.c_str(), &data));
  return find && !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Long name of the last component of Path; empty when nothing is found.
std::string LongComponentName(const std::string& Path) {
  WIN32_FIND_DATAA data;
  UniqueFindHandle find(::FindFirstFileA(Path.c_str(), &data));
  if (!find) return {};
  data.cFileName[sizeof data.cFileName - 1] = 0;
  data.cAlternateFileName[sizeof data.cAlternateFileName - 1] = 0;
  return data.cFileName[0] ? data.cFileName : data.cAlternateFileName;
}

// The path with every component under its long name; unchanged when no file
// exists under it.
std::string ExpandLongPath(const std::string& Path) {
  if (!FileExistsUnder(Path)) return Path;
  return ExpandLongPathWith(Path, LongComponentName);
}

// Takes and dispatches one waiting message of this thread, if any. A WM_QUIT
// taken here is posted again so that the main loop still sees it.
bool PumpOneMessage() {
  MSG msg;
  if (!::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (msg.message == WM_QUIT) {
    ::PostQuitMessage(static_cast<int>(msg.wParam));
  } else {
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
  return true;
}
}  // namespace

TBrowser::TBrowser(void* Owner) : owner_(Owner) {
  ddeMgr_ = std::make_unique<TDdeMgr>(this);
  GlobalDdeMgr = ddeMgr_.get();
  SetBrowserPath(ReadConfiguredBrowser());
  if (browserPath_.empty()) {
    std::string found = FindDefaultBrowser();
    if (!found.empty()) SetBrowserPath(found);
  }
}

TBrowser::~TBrowser() {
  conversation_.reset();
  // Nulled first: DDEML may still call back while the manager goes.
  GlobalDdeMgr = nullptr;
  ddeMgr_.reset();
}

std::string TBrowser::ReadConfiguredBrowser() {
  std::string workPath = GetWorkPath();
  if (workPath.empty()) return {};
  std::string settings = workPath + "Korvamo.ini";
  if (!FileExistsUnder(settings)) return {};
  char buffer[1024] = {};
  DWORD n = ::GetPrivateProfileStringA("Browser", "ExeName", "", buffer, sizeof buffer, settings.c_str());
  return std::string(buffer, n < sizeof buffer ? n : sizeof buffer - 1);
}

void TBrowser::SetBrowserPath(const std::string& Candidate) {
  if (Candidate.empty() || !FileExistsUnder(Candidate)) return;
  browserPath_ = Candidate;
}

std::string TBrowser::FindDefaultBrowser() {
  std::string result;
  char buffer[kAssociationBufferSize] = {};
  if (ReadDefaultValue(HKEY_CLASSES_ROOT, ".htm", buffer)) {
    // A class name too long for "\shell\open" yields no browser.
    if (auto keyPath = OpenVerbKeyOf(buffer)) {
      HKEY raw = nullptr;
      if (::RegOpenKeyA(HKEY_CLASSES_ROOT, keyPath->c_str(), &raw) == ERROR_SUCCESS) {
        UniqueHkey key(raw);
        if (ReadDefaultValue(key.Get(), "command", buffer)) {
          std::string command = ExecutableOfCommand(buffer);
          if (!command.empty()) result = ExpandLongPath(command);
        }
      }
    }
  }
  if (!FileExistsUnder(result)) result.clear();
  return result;
}

std::string TBrowser::ServiceName() const { return BrowserServiceNameOf(browserPath_); }

void TBrowser::OpenPage(const std::string& Url) {
  if (opening_) {
    waitingPages_.push_back(Url);
    return;
  }
  struct Busy {
    TBrowser& browser;
    explicit Busy(TBrowser& b) : browser(b) { browser.opening_ = true; }
    ~Busy() {
      browser.opening_ = false;
      browser.waitingPages_.clear();
    }
  } busy(*this);
  OpenOnePage(Url);
  while (!waitingPages_.empty()) {
    std::string next = std::move(waitingPages_.front());
    waitingPages_.pop_front();
    OpenOnePage(next);
  }
}

void TBrowser::OpenOnePage(const std::string& Url) {
  // Put back also when the opening fails with an exception (out of memory).
  struct Hourglass {
    HCURSOR previous = ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT));
    ~Hourglass() { ::SetCursor(previous); }
  };
  {
    Hourglass hourglass;
    PumpOneMessage();
    if (!OpenByDde(Url)) OpenByCommand(Url);
  }
  PumpOneMessage();
}

bool TBrowser::OpenByDde(const std::string& Url) {
  conversation_ = std::make_unique<TDdeClientConv>(this);
  TDdeClientConv& conversation = *conversation_;
  conversation.SetConnectMode(ddeManual);
  conversation.SetServiceApplication(ServiceName());
  const std::string item = OpenUrlItem(Url);
  bool opened =
      conversation.AssignLink(conversation.ServiceApplication(), kOpenUrlTopic) && conversation.OpenConversation();
  // What the browser answers plays no part: the text is released unread.
  // A request that could not be sent at all (an item too long for a DDE
  // string handle) opened nothing, so the command line is tried instead.
  if (opened) opened = conversation.Request(item).Sent;
  conversation.CloseConversation();
  conversation_.reset();
  return opened;
}

void TBrowser::OpenByCommand(const std::string& Url) {
  StartCommandLine(FallbackCommandLine(browserPath_, Url), SW_SHOWNORMAL);
}
