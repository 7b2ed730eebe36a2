// The program's own folder on Windows: the path of the process's exe (module
// handle NULL), so a SimConnect.dll finds the file beside the program that
// loaded it, not beside itself; and the user's Documents folder.
#include <windows.h>
// After windows.h, which it needs.
#include <shlobj.h>

#include "hostlink/net/program_folder.h"

namespace vantilo_net {

std::string ProgramFolder() {
  char path[4096];
  DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  if (length == 0 || length >= sizeof path) {
    return std::string();  // failed, or the path was cut short
  }
  std::string exe(path, length);
  std::size_t separator = exe.find_last_of("\\/");
  return separator == std::string::npos ? std::string() : exe.substr(0, separator + 1);
}

std::string DocumentsFolder() {
  char path[MAX_PATH];
  if (SHGetFolderPathA(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK) {
    return std::string();
  }
  return std::string(path) + "\\";
}

}  // namespace vantilo_net
