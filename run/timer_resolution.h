// The finer system timer the dispatch loop asks for while it runs, so that
// its 1 ms pause lasts about 1 ms. Only Windows needs it; elsewhere the
// calls do nothing.
#ifndef VANTILO_RUN_TIMER_RESOLUTION_H
#define VANTILO_RUN_TIMER_RESOLUTION_H

void BeginFineTimer();
void EndFineTimer();

#endif
