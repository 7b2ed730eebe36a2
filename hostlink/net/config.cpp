// SimConnect.cfg: an INI file whose [SimConnect] / [SimConnect.N] sections
// say where the simulator listens. The parser is pure (text in, settings
// out); only LoadLinkSettings touches the file system.
#include "hostlink/net/config.h"

#include <cctype>
#include <fstream>
#include <sstream>

#include "hostlink/net/program_folder.h"

namespace vantilo_net {

namespace {

const char kFileName[] = "SimConnect.cfg";

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

struct RawKeys {
  std::string protocol;
  std::string address;
  std::string port;
};

void ApplyProtocol(const std::string& value, LinkSettings* settings) {
  const std::string protocol = Lower(value);
  if (protocol == "ipv4" || protocol == "auto") {
    settings->transport = Transport::IPv4;
  } else if (protocol == "ipv6") {
    settings->transport = Transport::IPv6;
  } else if (protocol == "pipe") {
    settings->transport = Transport::Pipe;
    settings->usable = false;
    settings->problem = "Protocol=Pipe is not available on this platform";
  } else {
    settings->usable = false;
    settings->problem = "unknown Protocol '" + value + "'";
  }
}

}  // namespace

LinkSettings DefaultLinkSettings() { return LinkSettings(); }

LinkSettings ParseSimConnectCfg(const std::string& text, std::uint32_t configIndex) {
  RawKeys keys;
  bool found = false;
  bool inSection = false;
  std::istringstream lines(text);
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
      inSection = close != std::string::npos &&
                  SectionMatches(Lower(Trim(line.substr(1, close - 1))), configIndex);
      found = found || inSection;
      continue;
    }
    std::size_t equals = line.find('=');
    if (!inSection || equals == std::string::npos) {
      continue;
    }
    const std::string key = Lower(Trim(line.substr(0, equals)));
    const std::string value = Trim(line.substr(equals + 1));
    if (key == "protocol") {
      keys.protocol = value;
    } else if (key == "address") {
      keys.address = value;
    } else if (key == "port") {
      keys.port = value;
    }
  }

  LinkSettings settings = DefaultLinkSettings();
  if (!found) {
    return settings;
  }
  settings.fromFile = true;
  if (!keys.protocol.empty()) {
    ApplyProtocol(keys.protocol, &settings);
    if (!settings.usable) {
      return settings;
    }
  }
  if (!keys.address.empty()) {
    settings.address = keys.address;
  } else if (settings.transport == Transport::IPv6) {
    settings.address = "::1";
  }
  if (!keys.port.empty()) {
    std::uint64_t port = 0;
    if (!ParseDecimal(keys.port, 65535, &port) || port == 0) {
      settings.usable = false;
      settings.problem = "bad Port '" + keys.port + "'";
      return settings;
    }
    settings.port = static_cast<std::uint16_t>(port);
  }
  return settings;
}

namespace {

bool ReadWholeFile(const std::string& path, std::string* text) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    return false;
  }
  std::ostringstream content;
  content << file.rdbuf();
  *text = content.str();
  return true;
}

}  // namespace

LinkSettings LoadLinkSettings(std::uint32_t configIndex) {
  if (configIndex == kConfigIndexLocal) {
    return DefaultLinkSettings();
  }
  std::string text;
  if (ReadWholeFile(kFileName, &text)) {
    return ParseSimConnectCfg(text, configIndex);
  }
  const std::string folder = ProgramFolder();
  if (!folder.empty() && ReadWholeFile(folder + kFileName, &text)) {
    return ParseSimConnectCfg(text, configIndex);
  }
  return DefaultLinkSettings();
}

}  // namespace vantilo_net
