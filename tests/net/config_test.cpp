// SimConnect.cfg reading: which section an index selects, what each key
// does, what makes the settings unusable, and where the file is looked up.
#include "hostlink/net/config.h"

#include <gtest/gtest.h>

#include "tests/support/files.h"

using vantilo_net::LinkSettings;
using vantilo_net::ParseSimConnectCfg;
using vantilo_net::Transport;

namespace {

void ExpectDefault(const LinkSettings& settings) {
  EXPECT_TRUE(settings.usable);
  EXPECT_EQ(settings.transport, Transport::IPv4);
  EXPECT_EQ(settings.address, "127.0.0.1");
  EXPECT_EQ(settings.port, 2048);
}

const char kThreeSections[] =
    "[SimConnect]\nProtocol=IPv4\nAddress=10.0.0.1\nPort=500\n"
    "[SimConnect.1]\nProtocol=IPv4\nAddress=10.0.0.2\nPort=501\n"
    "[SimConnect.21]\nProtocol=IPv4\nAddress=10.0.0.21\nPort=521\n";

TEST(ConfigSections, IndexSelectsItsSection) {
  LinkSettings zero = ParseSimConnectCfg(kThreeSections, 0);
  EXPECT_TRUE(zero.fromFile);
  EXPECT_EQ(zero.address, "10.0.0.1");
  EXPECT_EQ(zero.port, 500);
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
  EXPECT_EQ(settings.address, "::1");
  EXPECT_EQ(settings.port, 50510);
}

TEST(ConfigKeys, MissingKeysTakeDefaults) {
  LinkSettings empty = ParseSimConnectCfg("[SimConnect]\n", 0);
  EXPECT_TRUE(empty.fromFile);
  ExpectDefault(empty);
  LinkSettings ipv6 = ParseSimConnectCfg("[SimConnect]\nProtocol=IPv6\n", 0);
  EXPECT_EQ(ipv6.address, "::1");
  EXPECT_EQ(ipv6.port, 2048);
  LinkSettings portOnly = ParseSimConnectCfg("[SimConnect]\nPort=65535\n", 0);
  EXPECT_EQ(portOnly.address, "127.0.0.1");
  EXPECT_EQ(portOnly.port, 65535);
}

TEST(ConfigKeys, PipeUnknownProtocolAndBadPortsAreUnusable) {
  LinkSettings pipe =
      ParseSimConnectCfg("[SimConnect]\nProtocol=Pipe\nPort=Custom/SimConnect\n", 0);
  EXPECT_FALSE(pipe.usable);
  EXPECT_EQ(pipe.transport, Transport::Pipe);
  EXPECT_EQ(pipe.problem, "Protocol=Pipe is not available on this platform");
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
  EXPECT_EQ(settings.address, "127.0.0.2");
  EXPECT_EQ(settings.port, 4321);
  ExpectDefault(vantilo_net::LoadLinkSettings(vantilo_net::kConfigIndexLocal));
}

}  // namespace
