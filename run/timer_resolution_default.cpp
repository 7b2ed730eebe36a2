// Systems whose sleeps are already fine-grained need no timer request.
#include "run/timer_resolution.h"

void BeginFineTimer() {}
void EndFineTimer() {}
