// Stand-in web browser, built as browse.exe. Each start appends to
// "<name>.log" beside the executable (name = its own file name without
// extension); options come from "<name>.opt" beside it, then the command line:
//   --serve            serve DDE (else only the start is recorded)
//   --service NAME     service name (default: own name upper-cased)
//   --topic NAME       topic offered (default WWW_OpenURL)
//   --answer data|empty|zero|raw|none   request answer: "OpenURL-OK" with its
//                      zero, zero-length data, a lone zero byte, "RAW" without
//                      a zero, or no data
//   --delay MS         wait MS before answering a request
//   --end-after-request  end the conversation once a request is answered
//   --life MS          stop serving after MS (default 60000)
// Any other argument is the page. A file "<name>.quit" beside it ends it.
// Log lines: "start pid=P show=S cmd=C", "page=...", "ready service=S",
// "connect topic=T", "request item=I", "disconnect", "exit".
#include <windows.h>
#include <dde.h>
#include <ddeml.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {
std::string gFolder, gBase, gTopic = "WWW_OpenURL", gAnswer = "data", gService;
bool gEndAfterRequest = false;
DWORD gDelay = 0;
DWORD gInstance = 0;
HCONV gToEnd = nullptr;
constexpr UINT WM_END_CONVERSATION = WM_APP + 1;

void Log(const std::string& line) {
  if (FILE* f = std::fopen((gFolder + gBase + ".log").c_str(), "ab")) {
    std::fprintf(f, "%s\n", line.c_str());
    std::fclose(f);
  }
}

std::string HszText(HSZ hsz) {
  char text[256] = {};
  ::DdeQueryStringA(gInstance, hsz, text, sizeof text, CP_WINANSI);
  return text;
}

HDDEDATA Answer(HSZ item, UINT format) {
  if (gAnswer == "none") return nullptr;
  static char zero[] = "";
  LPBYTE zeroBytes = reinterpret_cast<LPBYTE>(zero);
  if (gAnswer == "empty") return ::DdeCreateDataHandle(gInstance, zeroBytes, 0, 0, item, format, 0);
  if (gAnswer == "zero") return ::DdeCreateDataHandle(gInstance, zeroBytes, 1, 0, item, format, 0);
  static char raw[] = "RAW";
  if (gAnswer == "raw") return ::DdeCreateDataHandle(gInstance, reinterpret_cast<LPBYTE>(raw), 3, 0, item, format, 0);
  static char ok[] = "OpenURL-OK";
  return ::DdeCreateDataHandle(gInstance, reinterpret_cast<LPBYTE>(ok), sizeof ok, 0, item, format, 0);
}

HDDEDATA CALLBACK Callback(UINT type, UINT format, HCONV conv, HSZ hsz1, HSZ hsz2, HDDEDATA, ULONG_PTR, ULONG_PTR) {
  switch (type) {
    case XTYP_CONNECT: {
      std::string topic = HszText(hsz1);
      Log("connect topic=" + topic);
      return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(lstrcmpiA(topic.c_str(), gTopic.c_str()) == 0));
    }
    case XTYP_WILDCONNECT: {
      // hsz1 is the topic asked for, hsz2 the service; zero means any.
      Log("wildconnect");
      if (hsz1 && lstrcmpiA(HszText(hsz1).c_str(), gTopic.c_str()) != 0) return nullptr;
      if (hsz2 && lstrcmpiA(HszText(hsz2).c_str(), gService.c_str()) != 0) return nullptr;
      HSZPAIR pairs[2] = {{::DdeCreateStringHandleA(gInstance, gService.c_str(), CP_WINANSI),
                           ::DdeCreateStringHandleA(gInstance, gTopic.c_str(), CP_WINANSI)},
                          {nullptr, nullptr}};
      return ::DdeCreateDataHandle(gInstance, reinterpret_cast<LPBYTE>(pairs), sizeof pairs, 0, nullptr, CF_TEXT, 0);
    }
    case XTYP_REQUEST: {
      Log("request item=" + HszText(hsz2));
      if (gDelay) ::Sleep(gDelay);
      if (gEndAfterRequest) {
        gToEnd = conv;
        ::PostThreadMessageA(::GetCurrentThreadId(), WM_END_CONVERSATION, 0, 0);
      }
      HDDEDATA answer = Answer(hsz2, format);
      Log(answer ? "answered" : "answered nothing");
      return answer;
    }
    case XTYP_DISCONNECT: Log("disconnect"); return nullptr;
    default: return nullptr;
  }
}

std::vector<std::string> Split(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  for (char c : text) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  if (!word.empty()) words.push_back(word);
  return words;
}

std::string ReadOptionsFile() {
  std::string text;
  if (FILE* f = std::fopen((gFolder + gBase + ".opt").c_str(), "rb")) {
    char buffer[512];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
    std::fclose(f);
  }
  return text;
}
}  // namespace

// A windowed program, as browsers are: WinExec waits for its first idle
// moment, by which time the service is registered.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const int argc = __argc;
  char** const argv = __argv;
  char path[MAX_PATH] = {};
  std::string self(path, ::GetModuleFileNameA(nullptr, path, sizeof path));
  gFolder = self.substr(0, self.find_last_of('\\') + 1);
  gBase = self.substr(gFolder.size());
  gBase = gBase.substr(0, gBase.rfind('.'));
  gService = gBase;
  CharUpperA(gService.data());

  STARTUPINFOA si{};
  si.cb = sizeof si;
  ::GetStartupInfoA(&si);
  Log("start pid=" + std::to_string(::GetCurrentProcessId()) + " show=" +
      std::to_string((si.dwFlags & STARTF_USESHOWWINDOW) ? si.wShowWindow : 1u) + " cmd=" + ::GetCommandLineA());

  std::vector<std::string> args = Split(ReadOptionsFile());
  for (int i = 1; i < argc; ++i) args.push_back(argv[i]);
  bool serve = false;
  DWORD life = 60000;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    bool hasValue = i + 1 < args.size();
    if (a == "--serve")
      serve = true;
    else if (a == "--end-after-request")
      gEndAfterRequest = true;
    else if (a == "--service" && hasValue)
      gService = args[++i];
    else if (a == "--topic" && hasValue)
      gTopic = args[++i];
    else if (a == "--answer" && hasValue)
      gAnswer = args[++i];
    else if (a == "--delay" && hasValue)
      gDelay = std::strtoul(args[++i].c_str(), nullptr, 10);
    else if (a == "--life" && hasValue)
      life = std::strtoul(args[++i].c_str(), nullptr, 10);
    else
      Log("page=" + a);
  }
  if (!serve) {
    Log("exit");
    return 0;
  }

  if (::DdeInitializeA(&gInstance, Callback, APPCLASS_STANDARD, 0) != DMLERR_NO_ERROR) {
    Log("exit init-failed");
    return 2;
  }
  HSZ service = ::DdeCreateStringHandleA(gInstance, gService.c_str(), CP_WINANSI);
  ::DdeNameService(gInstance, service, nullptr, DNS_REGISTER);
  Log("ready service=" + gService);

  const std::string quitFile = gFolder + gBase + ".quit";
  const DWORD start = ::GetTickCount();
  while (::GetTickCount() - start < life && ::GetFileAttributesA(quitFile.c_str()) == INVALID_FILE_ATTRIBUTES) {
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_END_CONVERSATION && gToEnd) {
        // DDEML has no server-side disconnect everywhere (Wine lacks it), so
        // the conversation is ended at the protocol level, as DDE servers may.
        CONVINFO info{};
        info.cb = sizeof info;
        if (::DdeQueryConvInfo(std::exchange(gToEnd, nullptr), QID_SYNC, &info)) {
          ::PostMessageA(info.hwndPartner, WM_DDE_TERMINATE, reinterpret_cast<WPARAM>(info.hwnd), 0);
        }
        Log("ended");
        continue;
      }
      ::TranslateMessage(&msg);
      ::DispatchMessageA(&msg);
    }
  }
  ::DdeNameService(gInstance, service, nullptr, DNS_UNREGISTER);
  ::DdeFreeStringHandle(gInstance, service);
  ::DdeUninitialize(gInstance);
  Log("exit");
  return 0;
}
