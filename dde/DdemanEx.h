// DDE for the program: the manager of the process's one DDEML instance (its
// own service name, on which every conversation is refused, and the callback),
// the error raised when DDE cannot be initialised, and the client conversation
// through which the browser component asks a web browser to open a page.
// Everything here runs on the thread that created the manager (the main thread).
#pragma once
#include <windows.h>
#include <ddeml.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/Exception.h"
#include "dde/DdeHandles.h"

class EDdeError : public Exception {
public:
  using Exception::Exception;
  const char* ClassName() const noexcept override { return "EDdeError"; }
};

class TDdeMgr {
public:
  // Raises EDdeError when the DDEML instance cannot be initialised.
  explicit TDdeMgr(void* Owner);
  ~TDdeMgr();
  TDdeMgr(const TDdeMgr&) = delete;
  TDdeMgr& operator=(const TDdeMgr&) = delete;

  void RegisterServiceName(const std::string& ProgramPath);
  void UnregisterServiceName();

  DWORD InstanceId() const { return instance_.Get(); }
  const std::string& OwnServiceName() const { return ownServiceName_; }
  HSZ OwnServiceHandle() const { return ownServiceHandle_.Handle(); }
  void* Owner() const { return owner_; }

private:
  void* owner_;
  UniqueDdeInstance instance_;
  std::string ownServiceName_;
  UniqueDdeString ownServiceHandle_;
};

// The one manager of the process; empty until its creator stores it.
extern TDdeMgr* GlobalDdeMgr;

// The message of a DDEML error code, from the string table.
std::string DdeErrorText(UINT Code);
// Raises EDdeError with the text for DdeGetLastError(InstanceId) unless Success.
void CheckDdeSuccess(bool Success, DWORD InstanceId);

HDDEDATA CALLBACK DdemlCallback(UINT Type, UINT Format, HCONV Conv, HSZ Hsz1, HSZ Hsz2, HDDEDATA Data,
                                ULONG_PTR Data1, ULONG_PTR Data2);

enum TDataMode : unsigned char { ddeAutomatic, ddeManual };
using TNotifyEvent = std::function<void(void* Sender)>;

struct CharBufferFree {
  void operator()(char* p) const { delete[] p; }
};
using TDdeText = std::unique_ptr<char[], CharBufferFree>;

// What a request came to: whether it went out to the server at all (it does
// not when there is no conversation or the item text gets no string handle),
// and the server's answer, null when it gave none.
struct TDdeRequest {
  bool Sent = false;
  TDdeText Text;
};

class TDdeClientConv {
public:
  explicit TDdeClientConv(void* Owner);
  virtual ~TDdeClientConv();
  TDdeClientConv(const TDdeClientConv&) = delete;
  TDdeClientConv& operator=(const TDdeClientConv&) = delete;

  bool AssignLink(std::string Service, std::string Topic);
  bool Relink(std::string Service, std::string Topic);
  // True only when this call established the conversation.
  bool OpenConversation();
  void CloseConversation();
  // Synchronous request (at most 10 s); null when refused, failed or timed out.
  TDdeText RequestItem(const std::string& Item);
  // The same, telling a request that could not be sent from one unanswered.
  TDdeRequest Request(const std::string& Item);
  // The partner ended the conversation (from the manager's callback).
  void ConversationEnded();

  // Published properties.
  const std::string& ServiceApplication() const { return serviceApplication_; }
  void SetServiceApplication(const std::string& Value) { serviceApplication_ = Value; }
  const std::string& DdeService() const { return ddeService_; }
  void SetDdeService(const std::string&) {}  // changed only through the link operations
  const std::string& DdeTopic() const { return ddeTopic_; }
  void SetDdeTopic(const std::string&) {}
  TDataMode ConnectMode() const { return connectMode_; }
  // Raises Exception "Unable to connect DDE conversation" when a switch to
  // ddeAutomatic cannot connect; the mode then stays as it was.
  void SetConnectMode(TDataMode Value);
  bool FormatChars() const { return formatChars_; }
  void SetFormatChars(bool Value) { formatChars_ = Value; }
  TNotifyEvent OnClose;
  TNotifyEvent OnOpen;

  HCONV ConversationHandle() const { return conversationHandle_; }
  bool Connected() const { return conversationHandle_ != nullptr; }
  UINT DataFormat() const { return dataFormat_; }
  HSZ ServiceHandle() const { return serviceHandle_.Handle(); }
  HSZ TopicHandle() const { return topicHandle_.Handle(); }
  void* Owner() const { return owner_; }

  // Stored form: the published properties and "LinkInfo" in the component
  // text form. Loading sets the properties, then runs AfterLoading.
  std::string SaveToText() const;
  bool LoadFromText(const std::string& Text);
  std::vector<std::string> LinkInfo() const;
  void ReadLinkInfo(const std::vector<std::string>& Entries);
  virtual void AfterLoading();

protected:
  virtual void NotifyClose();
  virtual void NotifyOpen();

private:
  bool ConnectAttempt();

  void* owner_;
  std::string ddeService_;
  std::string ddeTopic_;
  HCONV conversationHandle_ = nullptr;
  CONVINFO conversationInfo_{};
  UniqueDdeString serviceHandle_;
  UniqueDdeString topicHandle_;
  UINT dataFormat_ = 0;
  std::string serviceApplication_;
  TDataMode connectMode_ = ddeAutomatic;
  bool formatChars_ = false;
};
