#include "browser/Browser.h"

TBrowser::TBrowser(void*) {}
TBrowser::~TBrowser() = default;
void TBrowser::OpenPage(const std::string&) {}
