// The stand-in as a SimConnect server, seen from a raw socket: the OPEN
// record's bytes, protocol checks, faults answered with exception records,
// and a corrupt stream that costs only its own client the connection.
#include <gtest/gtest.h>

#include <thread>

#include "tests/support/client_packets.h"
#include "tests/support/files.h"
#include "tests/support/sockets.h"
#include "tests/support/standin_process.h"

namespace support {
namespace {

// A scenario in which nothing happens for a minute; tests end long before.
std::string QuietScenario() { return TempFile("quiet.txt", "60 end\n"); }

Bytes ExceptionBytes(std::uint32_t protocol, std::uint32_t code, std::uint32_t sendId,
                     std::uint32_t index) {
  Bytes out;
  for (std::uint32_t value : {24u, protocol, 1u, code, sendId, index}) {
    PutU32(out, value);
  }
  return out;
}

bool IsException(const Bytes& record) { return Word(record, 8) == 1; }

TEST(StandinOpen, AnswersOpenWithTheStandinsOpenRecord) {
  StandinProcess standin({"--scenario", QuietScenario()});
  RawClient client(standin.port());
  Bytes expected;
  for (std::uint32_t value : {308u, 2u, 2u}) {
    PutU32(expected, value);
  }
  PutText(expected, "Vantilo Stand-in", 256);
  for (std::uint32_t value : {10u, 0u, 61637u, 0u, 10u, 0u, 60905u, 0u, 0u, 0u}) {
    PutU32(expected, value);
  }
  EXPECT_EQ(client.Open(), expected);
}

TEST(StandinOpen, EchoesEachAcceptedProtocolWithItsBuild) {
  StandinProcess standin({"--scenario", QuietScenario()});
  const std::uint32_t cases[][2] = {{2, 60905}, {3, 61355}, {4, 61259}};
  for (const auto& entry : cases) {
    RawClient client(standin.port());
    client.Send(OpenPacket(entry[0]));
    Bytes record = client.NextRecord();
    ASSERT_EQ(record.size(), 308u) << "protocol " << entry[0];
    EXPECT_EQ(Word(record, 4), entry[0]);
    EXPECT_EQ(Word(record, 292), entry[1]);
  }
}

TEST(StandinOpen, RefusesOtherProtocolsThenAcceptsAGoodOpen) {
  StandinProcess standin({"--scenario", QuietScenario()});
  for (std::uint32_t protocol : {1u, 5u, 6u}) {
    RawClient client(standin.port());
    client.Send(OpenPacket(protocol, 1));
    EXPECT_EQ(client.NextRecord(), ExceptionBytes(protocol, 5, 1, kUnused)) << protocol;
    client.Send(OpenPacket(2, 2));
    EXPECT_EQ(client.NextRecord().size(), 308u);
  }
}

struct FaultCase {
  const char* name;
  std::vector<Bytes> setup;  // accepted packets that come first
  Bytes packet;              // the faulty one, send id 40
  std::uint32_t code;
  std::uint32_t index;
};

std::vector<FaultCase> FaultCases() {
  Bytes oversized = MakePacket(0x32, 40, {19, 0, 0, 0, 0, 0, 0, 0});
  Bytes undersized = MakePacket(0x0E, 40, Bytes(28, 0));
  Bytes unmarked = MenuAddItem(40, "Vantilo", 19);
  unmarked[11] = 0x00;  // type 0x00000031: the top four bits are not set
  return {
      {"misspelt datum", {}, AddDatum(40, 0, "PLANE BANK DEGRESS", "Radians"), 7, 2},
      {"unknown unit", {}, AddDatum(40, 0, "PLANE BANK DEGREES", "Furlongs"), 7, 3},
      {"unknown system event", {}, Subscribe(40, 0, "Sometimes"), 7, 2},
      {"unknown input", {MapClientEvent(2, 18)}, MapPovInput(40, 0, 18, "joystick:1:POV"), 7, 2},
      {"simulator event", {}, MapClientEvent(40, 5, "NO_SUCH_EVENT"), 7, 2},
      {"datum as INT32", {}, AddDatum(40, 0, "PLANE BANK DEGREES", "Radians", 1), 18, 4},
      {"unknown function", {}, MakePacket(0x7F, 40, {}), 3, kUnused},
      {"type without marker", {}, unmarked, 3, kUnused},
      {"packet too long", {}, oversized, 2, kUnused},
      {"packet too short", {}, undersized, 2, kUnused},
      {"undefined definition", {}, RequestData(40, 1, 9, 2), 3, 2},
      {"sub-item of no menu", {}, MenuAddSubItem(40, 19, "Exit", 20), 3, 1},
      {"event not mapped", {}, AddToGroup(40, 0, 18), 3, 2},
      {"duplicate menu id", {MenuAddItem(2, "Vantilo", 19)}, MenuAddItem(40, "Other", 19), 9, 2},
      {"duplicate client event", {MapClientEvent(2, 18)}, MapClientEvent(40, 18), 9, 1},
      {"subscription on a mapped id", {MapClientEvent(2, 3)}, Subscribe(40, 3, "Frame"), 9, 1},
      {"duplicate group entry",
       {MapClientEvent(2, 18), AddToGroup(3, 0, 18)},
       AddToGroup(40, 1, 18),
       9,
       2},
      {"state of no input group", {}, SetInputGroupState(40, 4, 1), 3, 1},
  };
}

TEST(StandinFaults, EachFaultGetsItsExceptionWithSendIdAndIndex) {
  StandinProcess standin({"--scenario", QuietScenario()});
  for (const FaultCase& fault : FaultCases()) {
    RawClient client(standin.port());
    ASSERT_EQ(client.Open().size(), 308u) << fault.name;
    for (const Bytes& packet : fault.setup) {
      client.Send(packet);
    }
    client.Send(fault.packet);
    EXPECT_EQ(client.RecordWhere(IsException), ExceptionBytes(2, fault.code, 40, fault.index))
        << fault.name;
  }
}

TEST(StandinFaults, PacketsBeforeOpenAreUnopened) {
  StandinProcess standin({"--scenario", QuietScenario()});
  RawClient client(standin.port());
  client.Send(MenuAddItem(9, "Vantilo", 19));
  EXPECT_EQ(client.NextRecord(), ExceptionBytes(2, 4, 9, kUnused));
}

TEST(StandinFaults, ProgramRegistrationRaisesNoException) {
  StandinProcess standin({"--scenario", TempFile("s.txt", "0 roll left 10\n60 end\n")});
  RawClient client(standin.port());
  ASSERT_EQ(client.Open().size(), 308u);
  client.Send(ProgramRegistration());
  // Some frames later: data for request 1 has come and no exception before it.
  Bytes record = client.RecordWhere([](const Bytes& r) { return Word(r, 8) != 7; });
  EXPECT_EQ(Word(record, 8), 8u) << "first record after the frame events";
}

TEST(StandinStream, PacketSplitAcrossWritesIsReassembled) {
  StandinProcess standin({"--scenario", QuietScenario()});
  RawClient client(standin.port());
  Bytes open = OpenPacket(2);
  for (std::size_t cut : {1u, 3u, 17u}) {
    client.Send(Bytes(open.begin(), open.begin() + static_cast<std::ptrdiff_t>(cut)));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // makes a split read likely
    open.erase(open.begin(), open.begin() + static_cast<std::ptrdiff_t>(cut));
  }
  client.Send(open);
  EXPECT_EQ(client.NextRecord().size(), 308u);
}

TEST(StandinStream, CorruptStreamDisconnectsOnlyThatClient) {
  StandinProcess standin({"--scenario", QuietScenario()});
  RawClient steady(standin.port());
  ASSERT_EQ(steady.Open().size(), 308u);
  steady.Send(AddDatum(2, 0, "PLANE BANK DEGREES", "Degrees"));
  steady.Send(RequestData(3, 1, 0, 2));
  for (std::uint32_t size : {0u, 15u, 65537u, 0x7FFFFFFFu}) {
    RawClient broken(standin.port());
    ASSERT_EQ(broken.Open().size(), 308u);
    Bytes corrupt;
    for (std::uint32_t value : {size, 2u, 0xF0000032u, 2u}) {
      PutU32(corrupt, value);
    }
    broken.Send(corrupt);
    EXPECT_TRUE(broken.ClosedByPeer()) << "size " << size;
    Bytes data = steady.NextRecord();
    EXPECT_EQ(Word(data, 8), 8u) << "the other client still gets its data";
  }
}

}  // namespace
}  // namespace support
