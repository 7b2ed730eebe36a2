// What the program needs from Windows besides SimConnect: Sleep. On Windows
// it is the system's own; elsewhere platform_posix.cpp provides it, and the
// test fake provides a virtual-clock one.
#ifndef VANTILO_HOSTLINK_PLATFORM_H
#define VANTILO_HOSTLINK_PLATFORM_H

#include "hostlink/simconnect.h"

#if !defined(_WIN32)
// Pauses the calling thread for about dwMilliseconds.
extern "C" void Sleep(DWORD dwMilliseconds);
#endif

#endif
