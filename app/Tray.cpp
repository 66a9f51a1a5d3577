#include "app/KorvSchdMain.h"

void TWebSched::RefreshTray(void*) {}
void TWebSched::SetTrayIcon(int) {}
void TWebSched::ShowTrayIcon(int Offset) { CurrentIconOffset = Offset; }
void TWebSched::UpdateTooltip() {}
void TWebSched::BuildTooltip(char (&Tip)[64]) { Tip[0] = 0; }
void TWebSched::RemoveTrayIcon() {}
void TWebSched::WMTrayNotify(TMessage& Message) {
  Message.Result = ::DefWindowProcA(Handle, Message.Msg, Message.WParam, Message.LParam);
}
void TWebSched::PrepareMenu(HMENU) {}
void TWebSched::WMCommand(TMessage& Message) { Message.Result = 0; }
