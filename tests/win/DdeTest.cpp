// TDdeMgr, EDdeError and TDdeClientConv against real DDE servers: the
// stand-in browser runs as a second process and records what it is asked.
#include <windows.h>
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "dde/DdemanEx.h"
#include "tests/support/TestSupport.h"
#include "tests/win/BrowserStubHelper.h"

using namespace korvtest;

namespace {
class DdeTest : public ::testing::Test {
protected:
  void SetUp() override {
    manager = std::make_unique<TDdeMgr>(nullptr);
    GlobalDdeMgr = manager.get();
  }
  void TearDown() override {
    GlobalDdeMgr = nullptr;
    manager.reset();
  }
  // A conversation that counts its OnOpen and OnClose events.
  std::unique_ptr<TDdeClientConv> CountingConversation() {
    auto conv = std::make_unique<TDdeClientConv>(nullptr);
    conv->OnOpen = [this](void*) { ++opened; };
    conv->OnClose = [this](void*) { ++closed; };
    return conv;
  }
  // A counting conversation in manual mode, linked to the stand-in's topic.
  std::unique_ptr<TDdeClientConv> ManualLinkTo(const std::string& service) {
    auto conv = CountingConversation();
    conv->SetConnectMode(ddeManual);
    conv->AssignLink(service, "WWW_OpenURL");
    return conv;
  }
  std::unique_ptr<TDdeMgr> manager;
  int opened = 0;
  int closed = 0;
};

std::string TextOf(const TDdeText& text) { return text ? std::string(text.get()) : std::string("<null>"); }

// DDEML's own view: the partner has ended the conversation.
bool PartnerEnded(HCONV handle) {
  CONVINFO info{};
  info.cb = sizeof info;
  return ::DdeQueryConvInfo(handle, QID_SYNC, &info) && !(info.wStatus & ST_CONNECTED);
}
}  // namespace

TEST(DdeErrorTest, MessagesComeFromTheStringTableWithUpperCaseHex) {
  EXPECT_EQ(DdeErrorText(0x4008), "Error occurred when DDE ran out of memory ($04008)");
  EXPECT_EQ(DdeErrorText(0x4007), "Error occurred when DDE ran out of memory ($04007)");
  EXPECT_EQ(DdeErrorText(0x400A), "DDE Error - conversation not established ($0400A)");
  EXPECT_EQ(DdeErrorText(0x4006), "An error returned from DDE  ($04006)");
  EXPECT_EQ(DdeErrorText(0x4009), "An error returned from DDE  ($04009)");
  EXPECT_EQ(DdeErrorText(0), "An error returned from DDE  ($00)");
}

namespace {
std::vector<std::string> nameEvents;
DWORD watcher = 0;
HDDEDATA CALLBACK WatchNames(UINT type, UINT, HCONV, HSZ hsz1, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
  if (type == XTYP_REGISTER || type == XTYP_UNREGISTER) {
    char name[256] = {};
    ::DdeQueryStringA(watcher, hsz1, name, sizeof name, CP_WINANSI);
    nameEvents.push_back((type == XTYP_REGISTER ? "+" : "-") + std::string(name));
  }
  return nullptr;
}
}  // namespace

TEST_F(DdeTest, ServiceNameComesFromTheProgramFileName) {
  EXPECT_NE(manager->InstanceId(), 0u);
  EXPECT_EQ(manager->OwnServiceName(), "dde_tests");
  EXPECT_NE(manager->OwnServiceHandle(), nullptr);
  // Another DDE program sees the first name withdrawn before the second comes.
  ASSERT_EQ(::DdeInitializeA(&watcher, WatchNames, APPCLASS_STANDARD | APPCMD_CLIENTONLY, 0),
            static_cast<UINT>(DMLERR_NO_ERROR));
  nameEvents.clear();
  manager->RegisterServiceName("C:\\x.y\\a.b.exe");
  EXPECT_EQ(manager->OwnServiceName(), "a");
  WaitFor([] { return nameEvents.size() >= 2; }, 5000);
  // The withdrawal's name is read late, once its atom may hold the new name.
  ASSERT_EQ(nameEvents.size(), 2u);
  EXPECT_EQ(nameEvents[0][0], '-') << nameEvents[0];
  EXPECT_EQ(nameEvents[1], "+a");
  ::DdeUninitialize(watcher);
  manager->UnregisterServiceName();
  EXPECT_EQ(manager->OwnServiceHandle(), nullptr);
}

TEST_F(DdeTest, RequestItemGivesDataEmptyTextRawBytesOrNothing) {
  struct Case {
    const char* answer;
    const char* expected;
  } cases[] = {{"data", "OpenURL-OK"}, {"zero", ""}, {"raw", "RAW"}, {"none", "<null>"}};
  for (const Case& c : cases) {
    StubBrowser browser(std::string("--serve --answer ") + c.answer);
    ASSERT_TRUE(browser.StartServing()) << browser.Log();
    auto conv = ManualLinkTo(browser.Service());
    ASSERT_TRUE(conv->OpenConversation()) << browser.Log();
    EXPECT_EQ(conv->DataFormat(), static_cast<UINT>(CF_TEXT));
    EXPECT_EQ(TextOf(conv->RequestItem("item one")), c.expected) << c.answer;
    conv->CloseConversation();
    EXPECT_EQ(conv->DdeService(), "");
    EXPECT_EQ(browser.Lines("request item=").size(), 1u) << browser.Log();
    EXPECT_EQ(opened, 1) << c.answer;
    EXPECT_EQ(closed, 1) << c.answer;
    opened = closed = 0;
  }
}

TEST_F(DdeTest, RequestTellsAnItemThatCouldNotBeSentFromOneUnanswered) {
  StubBrowser browser("--serve --answer none");
  ASSERT_TRUE(browser.StartServing()) << browser.Log();
  auto conv = CountingConversation();
  EXPECT_FALSE(conv->Request("x").Sent) << "no conversation";
  ASSERT_TRUE(conv->AssignLink(browser.Service(), "WWW_OpenURL"));
  TDdeRequest unanswered = conv->Request("item one");
  EXPECT_TRUE(unanswered.Sent);
  EXPECT_EQ(TextOf(unanswered.Text), "<null>");
  TDdeRequest tooLong = conv->Request(std::string(256, 'i'));
  EXPECT_FALSE(tooLong.Sent) << "no string handle for 256 characters";
  EXPECT_EQ(TextOf(tooLong.Text), "<null>");
  EXPECT_EQ(browser.Lines("request item="), std::vector<std::string>{"request item=item one"}) << browser.Log();
}

TEST_F(DdeTest, PartnerEndingTheConversationFiresOnCloseOnce) {
  StubBrowser browser("--serve --end-after-request");
  ASSERT_TRUE(browser.StartServing()) << browser.Log();
  auto conv = CountingConversation();
  ASSERT_TRUE(conv->AssignLink(browser.Service(), "WWW_OpenURL"));  // automatic: connects
  EXPECT_TRUE(conv->Connected());
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(TextOf(conv->RequestItem("x")), "OpenURL-OK");
  const HCONV handle = conv->ConversationHandle();
  ASSERT_TRUE(WaitFor([&] { return PartnerEnded(handle); }, 10000)) << browser.Log();
  // Windows' DDEML then calls the client's callback with XTYP_DISCONNECT;
  // Wine's marks the conversation ended without calling it, so the call is
  // made here as DDEML makes it, on the real conversation handle.
  if (conv->Connected()) DdemlCallback(XTYP_DISCONNECT, 0, handle, nullptr, nullptr, nullptr, 0, 0);
  EXPECT_FALSE(conv->Connected());
  EXPECT_EQ(closed, 1);
  // Names and string handles stay until the conversation is closed.
  EXPECT_EQ(conv->DdeService(), browser.Service());
  EXPECT_NE(conv->ServiceHandle(), nullptr);
  conv->CloseConversation();
  EXPECT_EQ(closed, 1) << "OnClose fires once per conversation";
  EXPECT_EQ(conv->ServiceHandle(), nullptr);
  EXPECT_EQ(conv->DdeService(), "");
}

TEST_F(DdeTest, OnCloseRaisingInTheCallbackGoesNoFurtherAndTheConversationEnds) {
  StubBrowser browser("--serve --end-after-request");
  ASSERT_TRUE(browser.StartServing()) << browser.Log();
  auto conv = CountingConversation();
  conv->OnClose = [this](void*) {
    ++closed;
    throw std::runtime_error("handler failed");
  };
  ASSERT_TRUE(conv->AssignLink(browser.Service(), "WWW_OpenURL"));
  EXPECT_EQ(TextOf(conv->RequestItem("x")), "OpenURL-OK");
  const HCONV handle = conv->ConversationHandle();
  ASSERT_TRUE(WaitFor([&] { return PartnerEnded(handle); }, 10000)) << browser.Log();
  // Called as DDEML calls it (see above): from DDEML's frames, where no
  // exception may go.
  if (conv->Connected()) {
    EXPECT_NO_THROW(DdemlCallback(XTYP_DISCONNECT, 0, handle, nullptr, nullptr, nullptr, 0, 0));
  }
  EXPECT_EQ(closed, 1);
  EXPECT_FALSE(conv->Connected()) << "ended although its handler raised";
  conv->OnClose = nullptr;
  conv->CloseConversation();
  EXPECT_EQ(conv->DdeService(), "");
}

TEST_F(DdeTest, OpenConversationRulesWithoutAServer) {
  auto conv = CountingConversation();
  EXPECT_FALSE(conv->OpenConversation()) << "both names empty";
  conv->SetConnectMode(ddeManual);
  EXPECT_TRUE(conv->AssignLink("NOSUCHSERVICE", "NOSUCHTOPIC"));
  EXPECT_EQ(conv->DdeService(), "NOSUCHSERVICE");
  conv->SetDdeService("ignored");
  conv->SetDdeTopic("ignored");
  EXPECT_EQ(conv->DdeTopic(), "NOSUCHTOPIC");
  // A manual-to-automatic switch that cannot connect raises and keeps the mode.
  try {
    conv->SetConnectMode(ddeAutomatic);
    ADD_FAILURE() << "nothing raised";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Unable to connect DDE conversation");
    EXPECT_STREQ(e.ClassName(), "Exception");
  }
  EXPECT_EQ(conv->ConnectMode(), ddeManual);

  auto automatic = CountingConversation();
  EXPECT_FALSE(automatic->AssignLink("NOSUCHSERVICE", "NOSUCHTOPIC"));
  EXPECT_EQ(automatic->DdeService(), "");
  EXPECT_EQ(automatic->DdeTopic(), "");
  automatic->CloseConversation();
  EXPECT_EQ(opened, 0);
  EXPECT_EQ(closed, 0);
}

TEST_F(DdeTest, SwitchToAutomaticWhileConnectedRaisesAndKeepsManual) {
  StubBrowser browser;
  ASSERT_TRUE(browser.StartServing()) << browser.Log();
  auto conv = ManualLinkTo(browser.Service());
  ASSERT_TRUE(conv->OpenConversation());
  EXPECT_FALSE(conv->OpenConversation()) << "already connected";
  EXPECT_THROW(conv->SetConnectMode(ddeAutomatic), Exception);
  EXPECT_EQ(conv->ConnectMode(), ddeManual);
  EXPECT_TRUE(conv->Connected());
  conv.reset();  // the destructor closes
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(closed, 1);
}

TEST_F(DdeTest, NameTooLongForDdemlConnectsToNoServerAtAll) {
  StubBrowser browser;  // offers WWW_OpenURL: a wildcard attempt would reach it
  ASSERT_TRUE(browser.StartServing()) << browser.Log();
  auto conv = ManualLinkTo(std::string(300, 'S'));
  EXPECT_FALSE(conv->OpenConversation());
  EXPECT_EQ(conv->ServiceHandle(), nullptr);
  EXPECT_EQ(browser.Count("connect "), 0u) << browser.Log();

  const UniqueDdeString tooLong(manager->InstanceId(), std::string(300, 'S').c_str());
  EXPECT_FALSE(tooLong) << "a string that DDEML refused owns no handle";
  const UniqueDdeString fits(manager->InstanceId(), "WWW_OpenURL");
  EXPECT_TRUE(fits);
}

TEST_F(DdeTest, WithoutServiceApplicationTheServiceAndTopicAreStarted) {
  StubBrowser browser("--serve");
  char previous[MAX_PATH];
  ::GetCurrentDirectoryA(MAX_PATH, previous);
  ::SetCurrentDirectoryA(browser.Folder().c_str());
  auto conv = ManualLinkTo(browser.Service());
  bool opened = conv->OpenConversation();
  ::SetCurrentDirectoryA(previous);
  EXPECT_TRUE(opened) << browser.Log();
  auto starts = browser.Lines("start ");
  ASSERT_EQ(starts.size(), 1u) << browser.Log();
  EXPECT_NE(starts[0].find("cmd=" + browser.Service() + " WWW_OpenURL"), std::string::npos) << starts[0];

  // Topic alone and no program: one attempt, nothing started.
  auto topicOnly = CountingConversation();
  topicOnly->SetConnectMode(ddeManual);
  topicOnly->AssignLink("", "NOSUCHTOPIC");
  EXPECT_FALSE(topicOnly->OpenConversation());
  EXPECT_EQ(browser.Count("start "), 1u) << browser.Log();
}

TEST_F(DdeTest, LinkInfoIsWrittenAndReadBack) {
  auto conv = CountingConversation();
  conv->SetConnectMode(ddeManual);
  conv->SetFormatChars(true);
  conv->SetServiceApplication("C:\\Web\\viewer.exe");
  conv->AssignLink("VIEWER", "WWW_OpenURL");
  auto entries = conv->LinkInfo();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0], "Service VIEWER");
  EXPECT_EQ(entries[1], "Topic WWW_OpenURL");

  const std::string text = conv->SaveToText();
  auto copy = CountingConversation();
  ASSERT_TRUE(copy->LoadFromText(text)) << text;
  EXPECT_EQ(copy->DdeService(), "VIEWER");
  EXPECT_EQ(copy->DdeTopic(), "WWW_OpenURL");
  EXPECT_EQ(copy->ConnectMode(), ddeManual);
  EXPECT_TRUE(copy->FormatChars());
  EXPECT_EQ(copy->ServiceApplication(), "C:\\Web\\viewer.exe");
  EXPECT_FALSE(copy->Connected()) << "manual mode does not connect after loading";

  copy->ReadLinkInfo({"Service"});
  EXPECT_EQ(copy->DdeService(), "Service");
  EXPECT_FALSE(copy->LoadFromText("object TDdeClientConv\r\n  Unknown = 'x'\r\nend\r\n"));
  EXPECT_FALSE(copy->LoadFromText("object TOther\r\nend\r\n"));
  EXPECT_EQ(copy->DdeService(), "Service") << "a refused text changes nothing";

  auto empty = CountingConversation();
  EXPECT_EQ(empty->SaveToText().find("LinkInfo"), std::string::npos) << empty->SaveToText();
}

TEST_F(DdeTest, LoadingInAutomaticModeConnects) {
  StubBrowser browser;
  ASSERT_TRUE(browser.StartServing()) << browser.Log();
  auto conv = CountingConversation();
  ASSERT_TRUE(conv->LoadFromText("object TDdeClientConv\r\n  LinkInfo = (\r\n    'Service " + browser.Service() +
                                 "'\r\n    'Topic WWW_OpenURL')\r\nend\r\n"));
  EXPECT_TRUE(conv->Connected()) << browser.Log();
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(conv->DdeService(), browser.Service());
}
