// vantilo-sleep-floor: the CPU cost of the polling loop's pause alone, a bare
// loop of Sleep(1) from the program's platform shim, as a reference for the
// program's own CPU figure. Prints the percentage of one core it used.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"

int main(int argc, char** argv) {
  int seconds = argc > 1 ? std::atoi(argv[1]) : 5;
  if (seconds < 1) {
    std::fputs("usage: vantilo-sleep-floor [SECONDS]\n", stderr);
    return 2;
  }
  auto start = std::chrono::steady_clock::now();
  auto end = start + std::chrono::seconds(seconds);
  long loops = 0;
  while (std::chrono::steady_clock::now() < end) {
    Sleep(1);
    ++loops;
  }
  std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  std::printf("%.2f\t%ld\n", 100.0 * cpu / wall.count(), loops);
  return 0;
}
