// The main routine and the program entry that calls it.
#ifndef VANTILO_RUN_MAIN_ROUTINE_H
#define VANTILO_RUN_MAIN_ROUTINE_H

// Runs the whole program: banner, open, registration, dispatch loop,
// tear-down, final pause.
void RunClient();

// The program entry: ignores its command line and environment, runs
// RunClient and returns 0.
int ProgramEntry(int argc, char* argv[]);

#endif
