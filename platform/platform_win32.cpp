// The platform contract on Windows: Sleep is kernel32's; the loop asks for a
// 1 ms system timer while it runs. From Windows 10 2004 a process that does
// not ask gets ~15.6 ms, so Sleep(1) would poll 64 times a second, slower
// than the simulator's frames.
#include "platform/platform.h"

// clang-format off
#include <windows.h>
#include <timeapi.h>
// clang-format on

namespace {
const UINT kPeriodMs = 1;
}

void BeginFineTimer() { timeBeginPeriod(kPeriodMs); }
void EndFineTimer() { timeEndPeriod(kPeriodMs); }
