// The process entry; the command line is accepted and ignored.
#include "run/main_routine.h"

int main(int argc, char* argv[]) { return ProgramEntry(argc, argv); }
