#include "dde/DdemanEx.h"

#include <cstring>

#include "common/ModulePath.h"
#include "common/ProgramStart.h"
#include "dde/ComponentText.h"
#include "dde/DdeText.h"
#include "res/resource.h"

static_assert(sizeof(CONVINFO) == (sizeof(void*) == 4 ? 96 : 144), "CONVINFO as DDEML expects it");
static_assert(sizeof(CONVCONTEXT) == 36, "CONVCONTEXT as DDEML expects it");

TDdeMgr* GlobalDdeMgr = nullptr;

namespace {
std::string LoadText(UINT id) {
  char buffer[256] = {};
  int n = ::LoadStringA(::GetModuleHandleA(nullptr), id, buffer, sizeof buffer);
  return std::string(buffer, n > 0 ? n : 0);
}

constexpr char kClassName[] = "TDdeClientConv";
}  // namespace

std::string DdeErrorText(UINT Code) { return FormatDdeErrorText(LoadText(DdeErrorMessageId(Code)), Code); }

void CheckDdeSuccess(bool Success, DWORD InstanceId) {
  if (Success) return;
  throw EDdeError(DdeErrorText(::DdeGetLastError(InstanceId)));
}

TDdeMgr::TDdeMgr(void* Owner) : owner_(Owner) {
  DWORD id = 0;
  UINT result = ::DdeInitializeA(&id, DdemlCallback, 0, 0);
  instance_.Reset(id);
  // The members own whatever was set up, so a failure here leaves nothing behind.
  CheckDdeSuccess(result == DMLERR_NO_ERROR, id);
  RegisterServiceName(GetOwnExePath());
}

TDdeMgr::~TDdeMgr() {
  UnregisterServiceName();
  instance_.Reset();
}

void TDdeMgr::RegisterServiceName(const std::string& ProgramPath) {
  UnregisterServiceName();
  ownServiceName_ = OwnServiceNameOf(ProgramPath);
  ownServiceHandle_ = UniqueDdeString(InstanceId(), ownServiceName_.c_str());
  ::DdeNameService(InstanceId(), ownServiceHandle_.Handle(), nullptr, DNS_REGISTER);
}

void TDdeMgr::UnregisterServiceName() {
  if (ownServiceHandle_.Handle()) {
    ::DdeNameService(InstanceId(), ownServiceHandle_.Handle(), nullptr, DNS_UNREGISTER);
  }
  ownServiceHandle_.Reset();
}

HDDEDATA CALLBACK DdemlCallback(UINT Type, UINT, HCONV Conv, HSZ, HSZ, HDDEDATA, ULONG_PTR Data1, ULONG_PTR) {
  // The program serves no topic: XTYP_CONNECT is refused (FALSE) and
  // XTYP_WILDCONNECT answered with no list; every other type gets 0 as well.
  if (!GlobalDdeMgr || !Conv) return nullptr;
  CONVINFO info{};
  info.cb = sizeof info;
  DWORD transaction = Type == XTYP_XACT_COMPLETE ? static_cast<DWORD>(Data1) : QID_SYNC;
  if (!::DdeQueryConvInfo(Conv, transaction, &info)) return nullptr;
  if (Type == XTYP_DISCONNECT && info.hUser) {
    // An OnClose handler that raises must not unwind through DDEML: the
    // conversation has ended all the same.
    try {
      reinterpret_cast<TDdeClientConv*>(info.hUser)->ConversationEnded();
    } catch (...) {
    }
  }
  return nullptr;
}

TDdeClientConv::TDdeClientConv(void* Owner) : owner_(Owner) {}

TDdeClientConv::~TDdeClientConv() { CloseConversation(); }

void TDdeClientConv::NotifyClose() {
  if (OnClose) OnClose(this);
}

void TDdeClientConv::NotifyOpen() {
  if (OnOpen) OnOpen(this);
}

bool TDdeClientConv::ConnectAttempt() {
  // A name DDEML cannot hold (over 255 characters) has no handle; a zero
  // handle would let any server answer, so there is no attempt at all.
  if ((!ddeService_.empty() && !ServiceHandle()) || (!ddeTopic_.empty() && !TopicHandle())) return false;
  CONVCONTEXT context{};
  context.cb = sizeof context;
  context.iCodePage = CP_WINANSI;
  conversationHandle_ =
      ::DdeConnect(GlobalDdeMgr->InstanceId(), serviceHandle_.Handle(), topicHandle_.Handle(), &context);
  if (!conversationHandle_) return false;
  conversationInfo_ = CONVINFO{};
  conversationInfo_.cb = sizeof conversationInfo_;
  ::DdeQueryConvInfo(conversationHandle_, QID_SYNC, &conversationInfo_);
  ::DdeSetUserHandle(conversationHandle_, QID_SYNC, reinterpret_cast<DWORD_PTR>(this));
  return true;
}

bool TDdeClientConv::OpenConversation() {
  if (Connected() || (ddeService_.empty() && ddeTopic_.empty()) || !GlobalDdeMgr) return false;
  const DWORD instance = GlobalDdeMgr->InstanceId();
  if (!serviceHandle_.Handle()) serviceHandle_ = UniqueDdeString(instance, ddeService_.c_str());
  if (!topicHandle_.Handle()) topicHandle_ = UniqueDdeString(instance, ddeTopic_.c_str());

  bool connected = ConnectAttempt();
  if (!connected && !(ddeService_.empty() && serviceApplication_.empty())) {
    std::string commandLine = !serviceApplication_.empty() ? serviceApplication_ : ddeService_ + " " + ddeTopic_;
    // No wait for the server: it has registered its name by the time WinExec
    // returns (which waits for the new program's input idle) or not at all.
    if (StartCommandLine(commandLine, SW_SHOWMINNOACTIVE)) connected = ConnectAttempt();
  }
  if (!connected) return false;
  dataFormat_ = conversationInfo_.wFmt ? conversationInfo_.wFmt : CF_TEXT;
  if (!Connected()) return false;
  NotifyOpen();
  return true;
}

void TDdeClientConv::ConversationEnded() {
  // Zeroed even when OnClose raises: the conversation is over either way.
  struct Ended {
    HCONV& handle;
    ~Ended() { handle = nullptr; }
  } ended{conversationHandle_};
  if (Connected()) NotifyClose();
}

void TDdeClientConv::CloseConversation() {
  if (Connected()) {
    HCONV conversation = conversationHandle_;
    ConversationEnded();
    ::DdeSetUserHandle(conversation, QID_SYNC, 0);
    ::DdeDisconnect(conversation);
  }
  serviceHandle_.Reset();
  topicHandle_.Reset();
  ddeService_.clear();
  ddeTopic_.clear();
}

bool TDdeClientConv::AssignLink(std::string Service, std::string Topic) {
  CloseConversation();
  if (connectMode_ == ddeAutomatic) return Relink(std::move(Service), std::move(Topic));
  ddeService_ = std::move(Service);
  ddeTopic_ = std::move(Topic);
  return true;
}

bool TDdeClientConv::Relink(std::string Service, std::string Topic) {
  CloseConversation();
  ddeService_ = std::move(Service);
  ddeTopic_ = std::move(Topic);
  bool opened = OpenConversation();
  if (!opened) {
    ddeService_.clear();
    ddeTopic_.clear();
  }
  return opened;
}

TDdeText TDdeClientConv::RequestItem(const std::string& Item) { return Request(Item).Text; }

TDdeRequest TDdeClientConv::Request(const std::string& Item) {
  TDdeRequest request;
  if (!Connected() || !GlobalDdeMgr) return request;
  // An item over 255 characters gets no handle: nothing can be asked.
  UniqueDdeString itemHandle(GlobalDdeMgr->InstanceId(), Item.c_str());
  if (!itemHandle.Handle()) return request;
  request.Sent = true;
  DWORD result = 0;
  UniqueDdeData data(::DdeClientTransaction(nullptr, 0, conversationHandle_, itemHandle.Handle(), dataFormat_,
                                            XTYP_REQUEST, 10000, &result));
  itemHandle.Reset();
  if (!data) return request;
  DdeDataAccess access(data.Get());
  if (!access.Data()) return request;
  const char* bytes = reinterpret_cast<const char*>(access.Data());
  // The text's length (at most the data's size) sizes the copy: the size
  // itself plus one could wrap round in 32 bits.
  const std::size_t length = DdeTextLength(bytes, access.Size());
  request.Text.reset(new char[length + 1]);
  std::memcpy(request.Text.get(), bytes, length);
  request.Text[length] = 0;
  return request;
}

void TDdeClientConv::SetConnectMode(TDataMode Value) {
  if (Value == connectMode_) return;
  if (Value == ddeAutomatic && !ddeService_.empty() && !ddeTopic_.empty() && !OpenConversation()) {
    throw Exception(LoadText(IDS_DDE_UNABLE_TO_CONNECT));
  }
  connectMode_ = Value;
}

std::vector<std::string> TDdeClientConv::LinkInfo() const { return LinkInfoEntries(ddeService_, ddeTopic_); }

void TDdeClientConv::ReadLinkInfo(const std::vector<std::string>& Entries) {
  ApplyLinkInfo(Entries, ddeService_, ddeTopic_);
}

void TDdeClientConv::AfterLoading() {
  if (!ddeService_.empty() && connectMode_ != ddeManual) Relink(ddeService_, ddeTopic_);
}

std::string TDdeClientConv::SaveToText() const {
  ComponentText component{kClassName, {}};
  auto& p = component.properties;
  if (!serviceApplication_.empty()) p.push_back({"ServiceApplication", StreamValue::Text(serviceApplication_)});
  if (!ddeService_.empty()) p.push_back({"DdeService", StreamValue::Text(ddeService_)});
  if (!ddeTopic_.empty()) p.push_back({"DdeTopic", StreamValue::Text(ddeTopic_)});
  if (connectMode_ != ddeAutomatic) p.push_back({"ConnectMode", StreamValue::Identifier("ddeManual")});
  if (formatChars_) p.push_back({"FormatChars", StreamValue::Identifier("True")});
  if (!ddeService_.empty() || !ddeTopic_.empty()) p.push_back({"LinkInfo", StreamValue::List(LinkInfo())});
  return WriteComponentText(component);
}

bool TDdeClientConv::LoadFromText(const std::string& Text) {
  auto component = ReadComponentText(Text);
  if (!component || component->className != kClassName) return false;
  // Check every property before taking any, so a bad text changes nothing.
  using Kind = StreamValue::Kind;
  auto identifierIn = [](const StreamValue& v, const char* a, const char* b) {
    return v.kind == Kind::Identifier && (v.text == a || v.text == b);
  };
  for (const StreamProperty& property : component->properties) {
    const StreamValue& v = property.value;
    const std::string& name = property.name;
    const bool text = name == "ServiceApplication" || name == "DdeService" || name == "DdeTopic";
    bool valid =
        (text && v.kind == Kind::Text) || (name == "ConnectMode" && identifierIn(v, "ddeAutomatic", "ddeManual")) ||
        (name == "FormatChars" && identifierIn(v, "True", "False")) || (name == "LinkInfo" && v.kind == Kind::List);
    if (!valid) return false;
  }
  for (const StreamProperty& property : component->properties) {
    const StreamValue& v = property.value;
    if (property.name == "ServiceApplication") SetServiceApplication(v.text);
    if (property.name == "DdeService") SetDdeService(v.text);
    if (property.name == "DdeTopic") SetDdeTopic(v.text);
    // Loading is not a switch of mode: the connection is AfterLoading's task.
    if (property.name == "ConnectMode") connectMode_ = v.text == "ddeManual" ? ddeManual : ddeAutomatic;
    if (property.name == "FormatChars") SetFormatChars(v.text == "True");
    if (property.name == "LinkInfo") ReadLinkInfo(v.list);
  }
  AfterLoading();
  return true;
}
