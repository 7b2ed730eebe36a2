// Reads an exe's version resource the way Explorer's Properties do
// (GetFileVersionInfo, VerQueryValue) and checks it against the expected
// version, description and copyright line. Prints each field it reads.
// Usage: version_resource_check EXE MAJOR.MINOR.PATCH.TWEAK DESCRIPTION COPYRIGHT
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

int failures = 0;

void Expect(const char* field, const std::string& got, const std::string& wanted) {
  std::printf("%-16s %s\n", field, got.c_str());
  if (got != wanted) {
    std::printf("FAIL %s is '%s', wanted '%s'\n", field, got.c_str(), wanted.c_str());
    ++failures;
  }
}

std::string Text(std::vector<char>* info, const char* field) {
  std::string path = std::string("\\StringFileInfo\\040904B0\\") + field;
  char* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(info->data(), path.c_str(), reinterpret_cast<void**>(&value), &length) ||
      value == nullptr) {
    return "(missing)";
  }
  return std::string(value, strnlen(value, length));
}

std::string Dotted(DWORD high, DWORD low) {
  char text[64];
  std::snprintf(text, sizeof text, "%hu.%hu.%hu.%hu", HIWORD(high), LOWORD(high), HIWORD(low),
                LOWORD(low));
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: version_resource_check EXE VERSION DESCRIPTION COPYRIGHT\n");
    return 2;
  }
  const std::string version = argv[2];
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(argv[1], &ignored);
  if (size == 0) {
    std::printf("FAIL %s has no version resource (error %lu)\n", argv[1],
                static_cast<unsigned long>(GetLastError()));
    return 1;
  }
  std::vector<char> info(size);
  if (!GetFileVersionInfoA(argv[1], 0, size, info.data())) {
    std::printf("FAIL cannot read the version resource of %s\n", argv[1]);
    return 1;
  }

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length) ||
      length < sizeof *fixed || fixed->dwSignature != 0xFEEF04BD) {
    std::printf("FAIL no fixed file information\n");
    return 1;
  }
  Expect("file version", Dotted(fixed->dwFileVersionMS, fixed->dwFileVersionLS), version);
  Expect("product version", Dotted(fixed->dwProductVersionMS, fixed->dwProductVersionLS), version);
  Expect("file type", fixed->dwFileType == VFT_APP ? "application" : "other", "application");

  // The string block Explorer shows must be the one the translation names.
  WORD* translation = nullptr;
  char text[16] = "(missing)";
  if (VerQueryValueA(info.data(), "\\VarFileInfo\\Translation",
                     reinterpret_cast<void**>(&translation), &length) &&
      length >= 4) {
    std::snprintf(text, sizeof text, "%04x %04x", translation[0], translation[1]);
  }
  Expect("translation", text, "0409 04b0");
  Expect("FileVersion", Text(&info, "FileVersion"), version);
  Expect("ProductVersion", Text(&info, "ProductVersion"), version);
  Expect("ProductName", Text(&info, "ProductName"), "Vantilo");
  Expect("FileDescription", Text(&info, "FileDescription"), argv[3]);
  Expect("OriginalFilename", Text(&info, "OriginalFilename"), "vantilo.exe");
  Expect("LegalCopyright", Text(&info, "LegalCopyright"), argv[4]);
  return failures == 0 ? 0 : 1;
}
