// The user's web browser: chosen once at start-up, asked to open pages.
#pragma once
#include <memory>
#include <string>

class TDdeMgr;

class TBrowser {
public:
  // May raise EDdeError when DDE cannot be initialised.
  explicit TBrowser(void* Owner);
  ~TBrowser();
  TBrowser(const TBrowser&) = delete;
  TBrowser& operator=(const TBrowser&) = delete;

  const std::string& BrowserPath() const { return browserPath_; }
  void OpenPage(const std::string& Url);

private:
  std::string browserPath_;
};
