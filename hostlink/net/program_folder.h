// The folders where the host link looks for SimConnect.cfg besides the
// current one: the running program's, and on Windows the user's Documents.
// One small file per platform: program_folder_posix.cpp reads
// /proc/self/exe, program_folder_win32.cpp asks GetModuleFileNameA and
// SHGetFolderPathA.
#ifndef VANTILO_HOSTLINK_NET_PROGRAM_FOLDER_H
#define VANTILO_HOSTLINK_NET_PROGRAM_FOLDER_H

#include <string>

namespace vantilo_net {

// The folder holding the running executable (not a DLL it loaded), ending
// in its path separator; "" when it cannot be found.
std::string ProgramFolder();

// The user's Documents folder, ending in its path separator, where
// Prepar3D's SDK says SimConnect.cfg may also be; "" where there is none
// (Linux).
std::string DocumentsFolder();

}  // namespace vantilo_net

#endif
