#include "sched/ThreadWakeUp.h"

TScheduler::TScheduler(bool) {}
TScheduler::~TScheduler() = default;
void TScheduler::SetOnWakeUp(void*, TWakeUpCode) {}
void TScheduler::ClearOnWakeUp() {}
void TScheduler::SetState(std::uint8_t NewState) { state_ = NewState; }
std::string TScheduler::NextCaptureText() const { return {}; }
void TScheduler::SetPriority(int) {}
