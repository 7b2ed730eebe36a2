// The platform contract on POSIX systems: Sleep over nanosleep, resumed
// after signals; their sleeps are fine-grained already, so no timer request.
// From the program's start SIGPIPE is ignored: a print to a reader that has
// gone (vantilo | head) fails quietly instead of ending the program before
// its tear-down. The host link's sends ask for no signal already.
#include <cerrno>
#include <csignal>
#include <ctime>

#include "platform/platform.h"

namespace {
const bool kBrokenPipeIgnored = std::signal(SIGPIPE, SIG_IGN) != SIG_ERR;
}

extern "C" void Sleep(DWORD dwMilliseconds) {
  struct timespec remaining;
  remaining.tv_sec = static_cast<time_t>(dwMilliseconds / 1000);
  remaining.tv_nsec = static_cast<long>(dwMilliseconds % 1000) * 1000000L;
  while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
  }
}

void BeginFineTimer() {}
void EndFineTimer() {}
