// What the program needs from the operating system besides SimConnect,
// stated once: a millisecond sleep and a fine system timer around the
// dispatch loop. platform_posix.cpp and platform_win32.cpp implement it; the
// program's tests put the fake host's virtual clock in its place. On POSIX
// systems the peer also ignores SIGPIPE from the start, so that a print to
// a reader that has gone fails instead of ending the program.
#ifndef VANTILO_PLATFORM_PLATFORM_H
#define VANTILO_PLATFORM_PLATFORM_H

#include "hostlink/simconnect.h"

#if !defined(_WIN32)
// Pauses the calling thread for about dwMilliseconds (Windows: kernel32's).
extern "C" void Sleep(DWORD dwMilliseconds);
#endif

// Asks for a system timer fine enough that Sleep(1) lasts about 1 ms, while
// the dispatch loop runs; EndFineTimer gives it back. Only Windows needs the
// request; elsewhere both do nothing.
void BeginFineTimer();
void EndFineTimer();

#endif
