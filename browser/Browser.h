// The user's web browser: chosen once at start-up (the "Korvamo.ini" setting of
// the work folder, else the program of the ".htm" association) and asked to
// open pages, over DDE "WWW_OpenURL" or else through its command line. The
// browser owns the process's DDE manager. Main thread only.
#pragma once
#include <deque>
#include <memory>
#include <string>

class TDdeMgr;
class TDdeClientConv;

class TBrowser {
public:
  // May raise EDdeError when DDE cannot be initialised.
  explicit TBrowser(void* Owner);
  virtual ~TBrowser();
  TBrowser(const TBrowser&) = delete;
  TBrowser& operator=(const TBrowser&) = delete;

  const std::string& BrowserPath() const { return browserPath_; }
  std::string ServiceName() const;
  TDdeClientConv* Conversation() const { return conversation_.get(); }
  void* Owner() const { return owner_; }

  // Shows the page; a call made while one is under way (from a message
  // dispatched meanwhile) is queued and served once that one is done.
  void OpenPage(const std::string& Url);
  // True when a conversation with the browser was made and the request went
  // out, whatever the browser answered.
  bool OpenByDde(const std::string& Url);
  void OpenByCommand(const std::string& Url);

  static std::string ReadConfiguredBrowser();
  static std::string FindDefaultBrowser();
  void SetBrowserPath(const std::string& Candidate);

private:
  void OpenOnePage(const std::string& Url);

  void* owner_;
  std::unique_ptr<TDdeMgr> ddeMgr_;
  std::unique_ptr<TDdeClientConv> conversation_;
  std::string browserPath_;
  bool opening_ = false;
  std::deque<std::string> waitingPages_;
};
