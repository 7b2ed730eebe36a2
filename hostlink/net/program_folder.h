// The folder of the running program, where the host link also looks for
// SimConnect.cfg. One small function per platform: program_folder_posix.cpp
// reads /proc/self/exe, program_folder_win32.cpp asks GetModuleFileNameA.
#ifndef VANTILO_HOSTLINK_NET_PROGRAM_FOLDER_H
#define VANTILO_HOSTLINK_NET_PROGRAM_FOLDER_H

#include <string>

namespace vantilo_net {

// The folder holding the running executable (not a DLL it loaded), ending
// in its path separator; "" when it cannot be found.
std::string ProgramFolder();

}  // namespace vantilo_net

#endif
