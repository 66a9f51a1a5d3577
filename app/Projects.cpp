#include "app/KorvSchdMain.h"

int TWebSched::FillProjectMenu(HMENU) { return 0; }
void TWebSched::OpenProject(int) {}
