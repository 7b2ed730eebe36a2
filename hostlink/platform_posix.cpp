// The platform contract on POSIX systems: Sleep over nanosleep, resumed
// after signals; their sleeps are fine-grained already, so no timer request.
#include <cerrno>
#include <ctime>

#include "hostlink/platform.h"

extern "C" void Sleep(DWORD dwMilliseconds) {
  struct timespec remaining;
  remaining.tv_sec = static_cast<time_t>(dwMilliseconds / 1000);
  remaining.tv_nsec = static_cast<long>(dwMilliseconds % 1000) * 1000000L;
  while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
  }
}

void BeginFineTimer() {}
void EndFineTimer() {}
