// SimConnect.cfg: an INI file whose [SimConnect] / [SimConnect.N] sections
// say where the simulator listens. The parser is pure (text in, settings
// out); only LoadLinkSettings touches the file system.
#include "hostlink/net/config.h"

#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "hostlink/net/program_folder.h"

namespace vantilo_net {

namespace {

const char kFileName[] = "SimConnect.cfg";
// The most bytes a SimConnect.cfg may hold; a larger file is refused unread.
const std::size_t kMaxFileBytes = 64 * 1024;

void AppendUtf8(std::uint32_t code, std::string* out) {
  if (code < 0x80) {
    out->push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (code >> 6)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (code >> 12)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (code >> 18)));
    out->push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

// The text of a file that opens with a byte order mark, as Windows Notepad
// saves it: UTF-8 without its mark, or UTF-16 little-endian ("Unicode") or
// big-endian ("Unicode big endian") as UTF-8 (an unpaired surrogate as '?',
// an odd last byte dropped). Other text as it is. Windows' own profile
// functions reportedly read UTF-16 only little-endian, taking a big-endian
// file for one without the section (tested in
// github.com/WelliSolutions/IniFileFormatReverseEngineering, documentation/
// GetPrivateProfileString.md); a file saved so means its settings, so they
// are read.
std::string DecodeText(const std::string& text) {
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    return text.substr(3);
  }
  const bool bigEndian = text.compare(0, 2, "\xFE\xFF") == 0;
  if (!bigEndian && text.compare(0, 2, "\xFF\xFE") != 0) {
    return text;
  }
  auto unitAt = [&text, bigEndian](std::size_t at) {
    const unsigned char first = static_cast<unsigned char>(text[at]);
    const unsigned char second = static_cast<unsigned char>(text[at + 1]);
    return static_cast<std::uint32_t>(bigEndian ? first << 8 | second : second << 8 | first);
  };
  std::string decoded;
  for (std::size_t at = 2; at + 1 < text.size(); at += 2) {
    std::uint32_t code = unitAt(at);
    if (code >= 0xD800 && code < 0xDC00 && at + 3 < text.size() && unitAt(at + 2) >= 0xDC00 &&
        unitAt(at + 2) < 0xE000) {
      code = 0x10000 + ((code - 0xD800) << 10) + (unitAt(at + 2) - 0xDC00);
      at += 2;
    } else if (code >= 0xD800 && code < 0xE000) {
      code = '?';
    }
    AppendUtf8(code, &decoded);
  }
  return decoded;
}

std::string Trim(const std::string& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) {
    ++begin;
  }
  while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) {
    --end;
  }
  return text.substr(begin, end - begin);
}

std::string Lower(std::string text) {
  for (char& c : text) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return text;
}

// Parses a run of decimal digits no larger than limit; false otherwise.
bool ParseDecimal(const std::string& text, std::uint64_t limit, std::uint64_t* value) {
  if (text.empty() || text.size() > 10) {
    return false;
  }
  std::uint64_t result = 0;
  for (char c : text) {
    if (c < '0' || c > '9') {
      return false;
    }
    result = result * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (result > limit) {
    return false;
  }
  *value = result;
  return true;
}

// True when a section name (already lower case) selects configIndex.
bool SectionMatches(const std::string& name, std::uint32_t configIndex) {
  const std::string base = "simconnect";
  if (name == base) {
    return configIndex == 0;
  }
  if (name.compare(0, base.size() + 1, base + ".") != 0) {
    return false;
  }
  std::uint64_t index = 0;
  return ParseDecimal(name.substr(base.size() + 1), 0xFFFFFFFFu, &index) && index == configIndex;
}

// A key's value as the section first gives it: like Windows'
// GetPrivateProfileString, which returns the first of a key given twice and
// reads only the first of a section given twice (tested in
// github.com/WelliSolutions/IniFileFormatReverseEngineering, documentation/
// GetPrivateProfileString.md; Microsoft's page on the function says nothing
// of either). That the vendor's client reads the file through it is assumed.
struct RawKey {
  bool given = false;
  std::string value;
  void Take(const std::string& text) {
    if (!given) {
      given = true;
      value = text;
    }
  }
};

struct RawKeys {
  RawKey protocol;
  RawKey address;
  RawKey port;
};

void ApplyProtocol(const std::string& value, LinkSettings* settings) {
  const std::string protocol = Lower(value);
  if (protocol == "ipv4" || protocol == "auto") {
    settings->transport = Transport::IPv4;
  } else if (protocol == "ipv6") {
    settings->transport = Transport::IPv6;
  } else if (protocol == "pipe") {
    settings->transport = Transport::Pipe;
  } else {
    settings->usable = false;
    settings->problem = "unknown Protocol '" + value + "'";
  }
}

// A Pipe entry's path, \\<Address>\pipe\<Port>: Address is a computer
// name, '.' for this one; Port is the pipe's name, where '/' stands for '\'
// (docs.flightsimulator.com, SimConnect CFG Definition, and its sample
// Port=Custom/SimConnect). A pipe's whole name is at most 256 characters
// (learn.microsoft.com, "Pipe Names").
void ApplyPipe(const std::string& address, const std::string& name, LinkSettings* settings) {
  if (name.empty()) {
    settings->usable = false;
    settings->problem = "Protocol=Pipe needs Port, the pipe's name";
    return;
  }
  if (address.find_first_of("\\/") != std::string::npos) {
    settings->usable = false;
    settings->problem = "bad Address '" + address + "' (a computer name, or '.' for this one)";
    return;
  }
  settings->address = address.empty() ? "." : address;
  std::string path = "\\\\" + settings->address + "\\pipe\\";
  for (char c : name) {
    path.push_back(c == '/' ? '\\' : c);
  }
  if (path.size() > 256) {
    settings->usable = false;
    settings->problem =
        "bad Port '" + name + "' (the pipe's path " + path + " is longer than 256 characters)";
    return;
  }
  settings->pipe = path;
}

}  // namespace

LinkSettings DefaultLinkSettings() { return LinkSettings(); }

LinkSettings ParseSimConnectCfg(const std::string& text, std::uint32_t configIndex) {
  RawKeys keys;
  bool found = false;
  bool inSection = false;
  std::istringstream lines(DecodeText(text));
  std::string line;
  while (std::getline(lines, line)) {
    std::size_t comment = line.find_first_of(";#");
    if (comment != std::string::npos) {
      line.erase(comment);
    }
    line = Trim(line);
    if (line.empty()) {
      continue;
    }
    if (line.front() == '[') {
      std::size_t close = line.find(']');
      const bool matches = close != std::string::npos &&
                           SectionMatches(Lower(Trim(line.substr(1, close - 1))), configIndex);
      inSection = matches && !found;
      found = found || matches;
      continue;
    }
    std::size_t equals = line.find('=');
    if (!inSection || equals == std::string::npos) {
      continue;
    }
    const std::string key = Lower(Trim(line.substr(0, equals)));
    const std::string value = Trim(line.substr(equals + 1));
    if (key == "protocol") {
      keys.protocol.Take(value);
    } else if (key == "address") {
      keys.address.Take(value);
    } else if (key == "port") {
      keys.port.Take(value);
    }
  }

  LinkSettings settings = DefaultLinkSettings();
  if (!found) {
    return settings;
  }
  settings.fromFile = true;
  if (!keys.protocol.value.empty()) {
    ApplyProtocol(keys.protocol.value, &settings);
    if (!settings.usable) {
      return settings;
    }
  }
  const std::string& address = keys.address.value;
  if (settings.transport == Transport::Pipe) {
    ApplyPipe(address, keys.port.value, &settings);
    return settings;
  }
  if (address.find_first_of("[]") != std::string::npos) {
    // The documented examples write an address bare and the port in Port
    // (docs.flightsimulator.com, SimConnect CFG Definition; the server's
    // <Address>::1</Address> in learn.microsoft.com "Sample: SimConnect.xml").
    // Brackets, as in a URL's [::1]:500, are taken not to be part of it
    // (assumed: no documentation says the vendor's client reads them).
    settings.usable = false;
    settings.problem = "bad Address '" + address +
                       "' (a host name or address without brackets; the port goes in Port)";
    return settings;
  }
  if (!address.empty()) {
    settings.address = address;
  } else if (settings.transport == Transport::IPv6) {
    settings.address = "::1";
  }
  const std::string& portText = keys.port.value;
  if (!portText.empty()) {
    std::uint64_t port = 0;
    if (!ParseDecimal(portText, 65535, &port) || port == 0) {
      settings.usable = false;
      settings.problem = "bad Port '" + portText + "'";
      return settings;
    }
    settings.port = static_cast<std::uint16_t>(port);
  }
  return settings;
}

namespace {

enum class FileRead { kMissing, kRead, kRefused };

// Reads the SimConnect.cfg at path: kMissing when there is none; kRefused
// (and why) when the path holds anything but a regular file of at most
// kMaxFileBytes, or it cannot be read. The type and size are checked before
// the file is opened: a FIFO would wait for a writer, a device never end.
FileRead ReadCfgFile(const std::string& path, std::string* text, std::string* problem) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) {
      return FileRead::kMissing;
    }
    *problem = "cannot read " + path + " (" + std::strerror(errno) + ")";
    return FileRead::kRefused;
  }
  if (S_ISDIR(info.st_mode)) {
    *problem = path + " is a directory";
  } else if (S_ISFIFO(info.st_mode)) {
    *problem = path + " is a FIFO";
  } else if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)) {
    *problem = path + " is a device";
  } else if (!S_ISREG(info.st_mode)) {
    *problem = path + " is not a regular file";
  } else if (static_cast<std::uint64_t>(info.st_size) > kMaxFileBytes) {
    *problem = path + " is larger than 64 KiB";
  }
  if (!problem->empty()) {
    return FileRead::kRefused;
  }
  std::ifstream file(path, std::ios::binary);
  std::string content(kMaxFileBytes + 1, '\0');  // one more: a file that grew is seen
  if (file) {
    file.read(&content[0], static_cast<std::streamsize>(content.size()));
  }
  if (!file && !file.eof()) {
    *problem = "cannot read " + path + " (" + std::strerror(errno) + ")";
    return FileRead::kRefused;
  }
  content.resize(static_cast<std::size_t>(file.gcount()));
  if (content.size() > kMaxFileBytes) {
    *problem = path + " is larger than 64 KiB";
    return FileRead::kRefused;
  }
  *text = content;
  return FileRead::kRead;
}

}  // namespace

LinkSettings LoadLinkSettings(std::uint32_t configIndex) {
  if (configIndex == kConfigIndexLocal) {
    return DefaultLinkSettings();
  }
  std::string text;
  std::string problem;
  // The current folder (as jsimconnect looks first), the program's (the
  // vendor's client: docs.flightsimulator.com, SimConnect CFG Definition),
  // the user's Documents (Prepar3D's SDK documentation).
  const std::string folders[] = {"./", ProgramFolder(), DocumentsFolder()};
  FileRead read = FileRead::kMissing;
  for (const std::string& folder : folders) {
    if (read == FileRead::kMissing && !folder.empty()) {
      read = ReadCfgFile(folder + kFileName, &text, &problem);
    }
  }
  if (read == FileRead::kRead) {
    return ParseSimConnectCfg(text, configIndex);
  }
  LinkSettings settings = DefaultLinkSettings();
  if (read == FileRead::kRefused) {
    settings.usable = false;
    settings.problem = problem;
  }
  return settings;
}

}  // namespace vantilo_net
