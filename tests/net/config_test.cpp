// SimConnect.cfg reading: which section an index selects, what each key
// does, what makes the settings unusable, where the file is looked up, and
// which files are read and which refused.
#include "hostlink/net/config.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <regex>
#include <utility>

#include "tests/support/files.h"

using vantilo_net::LinkSettings;
using vantilo_net::ParseSimConnectCfg;
using vantilo_net::Transport;

namespace {

// Expects the settings to name this address and port.
void ExpectAt(const LinkSettings& settings, const std::string& address, int port) {
  EXPECT_EQ(settings.address, address);
  EXPECT_EQ(settings.port, port);
}

void ExpectDefault(const LinkSettings& settings) {
  EXPECT_TRUE(settings.usable);
  EXPECT_EQ(settings.transport, Transport::IPv4);
  ExpectAt(settings, "127.0.0.1", 2048);
}

const char kThreeSections[] =
    "[SimConnect]\nProtocol=IPv4\nAddress=10.0.0.1\nPort=500\n"
    "[SimConnect.1]\nProtocol=IPv4\nAddress=10.0.0.2\nPort=501\n"
    "[SimConnect.21]\nProtocol=IPv4\nAddress=10.0.0.21\nPort=521\n";

TEST(ConfigSections, IndexSelectsItsSection) {
  LinkSettings zero = ParseSimConnectCfg(kThreeSections, 0);
  EXPECT_TRUE(zero.fromFile);
  ExpectAt(zero, "10.0.0.1", 500);
  EXPECT_EQ(ParseSimConnectCfg(kThreeSections, 1).address, "10.0.0.2");
  EXPECT_EQ(ParseSimConnectCfg(kThreeSections, 21).port, 521);
}

TEST(ConfigSections, MissingSectionGivesDefaults) {
  LinkSettings two = ParseSimConnectCfg(kThreeSections, 2);
  EXPECT_FALSE(two.fromFile);
  ExpectDefault(two);
  ExpectDefault(ParseSimConnectCfg("", 0));
  // Keys before any section, or in another section, are not read.
  ExpectDefault(ParseSimConnectCfg("Port=9\n[Other]\nPort=10\n", 0));
}

TEST(ConfigSections, NamesKeysAndValuesIgnoreCaseCommentsAndCarriageReturns) {
  LinkSettings settings = ParseSimConnectCfg(
      "; client settings\r\n[simconnect.3]\r\n  protocol = ipv6 \r\n# the server\r\n"
      "ADDRESS=::1 ; loopback\r\nport=50510\r\n",
      3);
  EXPECT_TRUE(settings.usable);
  EXPECT_EQ(settings.transport, Transport::IPv6);
  ExpectAt(settings, "::1", 50510);
}

// The example the packages ship, as Linux (LF) and the Windows zip (CRLF)
// have it, reads as its comments say.
TEST(ConfigSections, ShippedExampleReads) {
  std::string example = support::FileText(VANTILO_SOURCE_DIR "/packaging/SimConnect.cfg.example");
  ASSERT_FALSE(example.empty());
  for (const std::string& text : {example, std::regex_replace(example, std::regex("\n"), "\r\n")}) {
    LinkSettings settings = ParseSimConnectCfg(text, 0);
    EXPECT_TRUE(settings.fromFile && settings.usable) << settings.problem;
    EXPECT_EQ(settings.transport, Transport::IPv4);
    ExpectAt(settings, "192.0.2.10", 500);
  }
}

TEST(ConfigKeys, MissingKeysTakeDefaults) {
  LinkSettings empty = ParseSimConnectCfg("[SimConnect]\n", 0);
  EXPECT_TRUE(empty.fromFile);
  ExpectDefault(empty);
  ExpectAt(ParseSimConnectCfg("[SimConnect]\nProtocol=IPv6\n", 0), "::1", 2048);
  ExpectAt(ParseSimConnectCfg("[SimConnect]\nPort=65535\n", 0), "127.0.0.1", 65535);
}

TEST(ConfigKeys, PipePathsUnknownProtocolAndBadPorts) {
  // Each row: the keys after Protocol=Pipe, and the pipe's path or the problem.
  const std::pair<const char*, const char*> kPipes[] = {
      {"Port=Custom/SimConnect", "\\\\.\\pipe\\Custom\\SimConnect"},
      {"Address=pc\nPort=Lockheed Martin Prepar3D v5\\SimConnect",
       "\\\\pc\\pipe\\Lockheed Martin Prepar3D v5\\SimConnect"},
      {"Address=.", "Protocol=Pipe needs Port, the pipe's name"},
      {"Address=\\\\pc\nPort=x", "bad Address '\\\\pc' (a computer name, or '.' for this one)"},
  };
  for (const auto& row : kPipes) {
    LinkSettings pipe =
        ParseSimConnectCfg(std::string("[SimConnect]\nProtocol=Pipe\n") + row.first, 0);
    EXPECT_EQ(pipe.usable ? pipe.pipe : pipe.problem, row.second) << row.first;
  }
  EXPECT_FALSE(
      ParseSimConnectCfg("[SimConnect]\nProtocol=Pipe\nPort=" + std::string(250, 'p'), 0).usable);
  EXPECT_FALSE(ParseSimConnectCfg("[SimConnect]\nProtocol=IPX\n", 0).usable);
  for (const char* port : {"0", "65536", "12x", "-1", "99999999999"}) {
    LinkSettings bad = ParseSimConnectCfg(std::string("[SimConnect]\nPort=") + port + "\n", 0);
    EXPECT_FALSE(bad.usable) << port;
    EXPECT_EQ(bad.problem, std::string("bad Port '") + port + "'");
  }
}

TEST(ConfigLookup, NoFileGivesDefaults) {
  support::WorkDir dir;
  LinkSettings settings = vantilo_net::LoadLinkSettings(0);
  EXPECT_FALSE(settings.fromFile);
  ExpectDefault(settings);
}

TEST(ConfigLookup, ReadsTheFileInTheCurrentDirectoryUnlessIndexIsLocal) {
  support::WorkDir dir;
  dir.WriteCfg("[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.2\nPort=4321\n");
  LinkSettings settings = vantilo_net::LoadLinkSettings(0);
  EXPECT_TRUE(settings.fromFile);
  ExpectAt(settings, "127.0.0.2", 4321);
  ExpectDefault(vantilo_net::LoadLinkSettings(vantilo_net::kConfigIndexLocal));
}

// What lies at ./SimConnect.cfg (a file of this text, or what make leaves
// there), and what the settings read from it say.
struct CfgFile {
  const char* name;
  std::string text;
  const char* problem;  // empty: usable, with the port 4321 the text names
  std::function<void(const std::string& path)> make = nullptr;
};

const std::string kPort4321 = "[SimConnect]\nPort=4321\n";

// The text as Windows Notepad saves UTF-16: its byte order mark, then each
// code unit little-endian ("Unicode") or big-endian ("Unicode big endian").
std::string Utf16(const std::u16string& units, bool bigEndian) {
  std::string text = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (char16_t unit : units) {
    const char low = static_cast<char>(unit & 0xFF);
    const char high = static_cast<char>(unit >> 8);
    text += bigEndian ? high : low;
    text += bigEndian ? low : high;
  }
  return text;
}
std::string Utf16(const std::string& ascii, bool bigEndian) {
  return Utf16(std::u16string(ascii.begin(), ascii.end()), bigEndian);
}

// Comment lines to the given size, then the section.
std::string TextOfSize(std::size_t size) {
  return std::string(size - kPort4321.size() - 1, ';') + "\n" + kPort4321;
}

const CfgFile kCfgFiles[] = {
    {"Utf8WithByteOrderMark", "\xEF\xBB\xBF" + kPort4321, ""},
    {"Utf16LittleEndianWithByteOrderMark", Utf16(kPort4321, false), ""},
    {"Utf16BigEndianWithByteOrderMark", Utf16(kPort4321, true), ""},
    // The first of a key given twice counts, and a section given again is
    // not read (its Protocol=Pipe would make the settings a pipe's).
    {"KeyAndSectionGivenTwice", kPort4321 + "Port=9\n[SimConnect]\nProtocol=Pipe\n", ""},
    {"BracketedAddress", "[SimConnect]\nAddress=[::1]\nPort=4321\n",
     "bad Address '[::1]' (a host name or address without brackets; the port goes in Port)"},
    {"Exactly64KiB", TextOfSize(64 * 1024), ""},
    {"LargerThan64KiB", TextOfSize(64 * 1024 + 1), "./SimConnect.cfg is larger than 64 KiB"},
    {"Directory", "", "./SimConnect.cfg is a directory",
     [](const std::string& path) { mkdir(path.c_str(), 0755); }},
    {"Fifo", "", "./SimConnect.cfg is a FIFO",
     [](const std::string& path) { mkfifo(path.c_str(), 0644); }},
    {"LinkToADevice", "", "./SimConnect.cfg is a device",
     [](const std::string& path) { symlink("/dev/zero", path.c_str()); }},
    {"LinkToItself", "", "cannot read ./SimConnect.cfg (Too many levels of symbolic links)",
     [](const std::string& path) { symlink(path.c_str(), path.c_str()); }},
};

void PrintTo(const CfgFile& file, std::ostream* out) { *out << file.name; }

class ConfigFile : public ::testing::TestWithParam<CfgFile> {};

TEST_P(ConfigFile, IsReadOrRefusedWithWhy) {
  support::WorkDir dir;
  const std::string path = dir.File("SimConnect.cfg");
  if (GetParam().make) {
    GetParam().make(path);
  } else {
    support::WriteFile(path, GetParam().text);
  }
  const LinkSettings settings = vantilo_net::LoadLinkSettings(0);
  std::remove(path.c_str());  // the work folder removes files only
  EXPECT_EQ(settings.problem, GetParam().problem);
  EXPECT_EQ(settings.usable, settings.problem.empty());
  if (settings.usable) {
    EXPECT_EQ(settings.port, 4321);
  }
}

INSTANTIATE_TEST_SUITE_P(Files, ConfigFile, ::testing::ValuesIn(kCfgFiles),
                         [](const ::testing::TestParamInfo<CfgFile>& info) {
                           return std::string(info.param.name);
                         });

// Two-, three- and four-byte UTF-8 from UTF-16 (the last from a surrogate
// pair); an unpaired surrogate reads as '?' and an odd last byte is dropped.
TEST(ConfigKeys, Utf16TextDecodesToUtf8) {
  std::u16string units = u"[SimConnect]\nAddress=fs-\u00e9\u20ac\U0001F600";
  units += static_cast<char16_t>(0xD800);
  units += u"\nPort=4321\n";
  const LinkSettings settings = ParseSimConnectCfg(Utf16(units, false) + "x", 0);
  ExpectAt(settings, "fs-\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80?", 4321);
}

}  // namespace
