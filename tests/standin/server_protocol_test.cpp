// The stand-in as a SimConnect server, seen from a raw socket: the OPEN
// record's bytes, protocol checks, each simulator it can play, faults
// answered with exception records, a corrupt stream that costs only its
// own client the connection, and the README naming every function served.
#include <gtest/gtest.h>

#include <csignal>
#include <set>
#include <thread>

#include "hostlink/net/packets.h"
#include "hostlink/net/wire.h"
#include "tests/support/client_packets.h"
#include "tests/support/files.h"
#include "tests/support/sockets.h"
#include "tests/support/standin_process.h"
#include "tests/support/trace_lines.h"

namespace support {
namespace {

using vantilo_net::Encode;

// A scenario in which nothing happens for a minute; tests end long before.
std::string QuietScenario() { return TempFile("quiet.txt", "60 end\n"); }

Bytes ExceptionBytes(std::uint32_t protocol, std::uint32_t code, std::uint32_t sendId,
                     std::uint32_t index) {
  return Words({24u, protocol, 1u, code, sendId, index});
}

bool IsException(const Bytes& record) { return Word(record, 8) == 1; }

// An OPEN record: the application name, its version and build and
// SimConnect's (major, minor each), then two reserved words.
Bytes OpenRecord(std::uint32_t protocol, const char* application,
                 const std::uint32_t (&fields)[8]) {
  Bytes out = Words({308u, protocol, 2u});
  PutText(out, application, 256);
  for (std::uint32_t value : fields) {
    PutU32(out, value);
  }
  return Join({out, Words({0u, 0u})});
}

TEST(StandinOpen, AnswersOpenWithTheStandinsOpenRecord) {
  StandinProcess standin({"--scenario", QuietScenario()});
  RawClient client(standin.port());
  EXPECT_EQ(client.Open(), OpenRecord(2, "Vantilo Stand-in", {10, 0, 61637, 0, 10, 0, 60905, 0}));
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

// What a client sees of each simulator the stand-in plays (--simulator).
struct PersonaCase {
  struct {
    const char* name;
    // The OPEN record at the first served protocol: application name, then
    // application version and build, SimConnect version and build (major, minor).
    const char* application;
    std::uint32_t fields[8];
  } open;
  struct {
    std::vector<std::uint32_t> served;
    std::vector<std::uint32_t> refused;
    bool ignoresRefused;  // after VERSION_MISMATCH, no answer to anything
    std::uint32_t stamp;  // the header's protocol; 0: the client's
    std::size_t eventBytes;
    bool cameraMoves;
  } acts;
  const char* connectedNote;  // the log line for the first served client
};

std::vector<PersonaCase> PersonaCases() {
  return {
      {{"fsx", "Vantilo Stand-in", {10, 0, 61637, 0, 10, 0, 60905, 0}},
       {{2, 3, 4}, {1, 5, 6}, false, 0, 24, true},
       "client 1: 'Vantilo' connected, protocol 2\n"},
      {{"fsx-se", "Microsoft Flight Simulator X", {10, 0, 62615, 0, 10, 0, 62615, 0}},
       {{2, 3, 4}, {1, 5, 6}, true, 0, 24, true},
       "client 1: 'Vantilo' connected, protocol 2 (fsx-se)\n"},
      {{"p3d", "Prepar3D", {5, 0, 0, 0, 5, 0, 0, 0}},
       {{4, 5, 6, 10}, {2, 3}, true, 0, 28, true},
       "client 1: 'Vantilo' connected, protocol 4 (p3d)\n"},
      {{"msfs2020", "KittyHawk", {11, 0, 282174, 999, 11, 0, 62651, 3}},
       {{4, 5}, {2, 3, 6}, true, 0, 24, false},
       "client 1: 'Vantilo' connected, protocol 4 (msfs2020)\n"},
      {{"msfs2024", "SunRise", {12, 1, 282174, 999, 12, 1, 0, 0}},
       {{4, 5, 6}, {2, 3, 7}, true, 6, 24, false},
       "client 1: 'Vantilo' connected, protocol 4 (msfs2024, records stamped 6)\n"},
  };
}

// One stand-in per persona: a client at its first served protocol registers
// as Vantilo does and sends a camera command; meanwhile a client at each
// other protocol is served or refused. Then the first client's records show
// the header stamp, the EVENT length, and the trace whether the camera moved.
TEST(StandinPersonas, EachSimulatorOpensRefusesStampsAndMovesItsCameraAsItDoes) {
  for (const PersonaCase& row : PersonaCases()) {
    SCOPED_TRACE(row.open.name);
    StandinOptions traced;
    traced.trace = true;
    StandinProcess standin({"--simulator", row.open.name, "--scenario", QuietScenario()}, traced);
    ASSERT_NE(standin.port(), 0) << standin.error();
    const auto& acts = row.acts;
    const std::uint32_t first = acts.served.front();
    auto stamped = [&](std::uint32_t protocol) { return acts.stamp != 0 ? acts.stamp : protocol; };

    RawClient program(standin.port());
    program.Send(OpenPacket(first, 1));
    EXPECT_EQ(program.NextRecord(),
              OpenRecord(stamped(first), row.open.application, row.open.fields));
    Bytes packets = Join({ProgramRegistration(), Camera(40, 1.0f, 2.0f, 3.0f)});
    for (std::size_t at = 0; at < packets.size(); at += Word(packets, at)) {
      standin::SetU32(packets, at + 4, first);  // each header's protocol
    }
    program.Send(packets);

    for (std::uint32_t protocol : acts.served) {
      SCOPED_TRACE("protocol " + std::to_string(protocol));
      RawClient client(standin.port());
      client.Send(OpenPacket(protocol, 1));
      Bytes record = client.NextRecord();
      ASSERT_EQ(record.size(), 308u);
      EXPECT_EQ(Word(record, 4), stamped(protocol));
    }
    for (std::uint32_t protocol : acts.refused) {
      SCOPED_TRACE("protocol " + std::to_string(protocol));
      RawClient client(standin.port());
      client.Send(OpenPacket(protocol, 1));
      EXPECT_EQ(client.NextRecord(), ExceptionBytes(stamped(protocol), 5, 1, kUnused));
      client.Send(MenuAddItem(2, "Vantilo", 19));  // unopened
      client.Send(OpenPacket(first, 3));
      if (acts.ignoresRefused) {
        EXPECT_EQ(client.NextRecord(300), Bytes());
        EXPECT_FALSE(client.ClosedByPeer(0));
      } else {
        EXPECT_EQ(client.NextRecord(), ExceptionBytes(kProtocol, 4, 2, kUnused));
        EXPECT_EQ(client.NextRecord().size(), 308u);
      }
    }

    // Records of the first client, up to its first "1sec" EVENT (event id 2).
    std::set<std::uint32_t> kinds;
    Bytes tick = program.RecordWhere([&](const Bytes& r) {
      kinds.insert(Word(r, 8));
      EXPECT_EQ(Word(r, 4), stamped(first)) << "record " << Word(r, 8);
      EXPECT_NE(Word(r, 8), 1u) << "exception " << Word(r, 12) << " for " << Word(r, 16);
      if (Word(r, 8) == 7) {
        EXPECT_EQ(r.size(), 32u) << "EVENT_FRAME keeps its length";
      }
      return Word(r, 8) == 4 && Word(r, 16) == 2;
    });
    ASSERT_FALSE(tick.empty());
    EXPECT_EQ(tick.size(), acts.eventBytes);
    EXPECT_EQ(kinds, (std::set<std::uint32_t>{4, 7, 8}));
    if (acts.eventBytes == 28) {
      EXPECT_EQ(Word(tick, 24), 0u) << "the flags word";
    }

    ASSERT_TRUE(WaitForLine(standin.trace(), "\"kind\":\"camera\"", 5000));
    EXPECT_EQ(CountLines(standin.trace(), "\"kind\":\"camera\"", "\"ignored\":true"),
              acts.cameraMoves ? 0u : 1u);
    std::string log = standin.Stdout();
    EXPECT_NE(log.find(row.connectedNote), std::string::npos) << log;
    const std::string refusal = "Open with protocol " + std::to_string(acts.refused.front()) +
                                " refused" +
                                (acts.ignoresRefused ? "; its later packets are ignored\n" : "\n");
    EXPECT_NE(log.find(refusal), std::string::npos) << log;
  }
}

struct FaultCase {
  const char* name;
  Bytes setup;   // accepted packets that come first
  Bytes packet;  // the faulty one, send id 40
  std::uint32_t code;
  std::uint32_t index;
  std::string note = {};  // the log line after "client N: ", where a row gives it
};

std::vector<FaultCase> FaultCases() {
  Bytes unmarked = MenuAddItem(40, "Vantilo", 19);
  unmarked[11] = 0x00;  // type 0x00000031: the top four bits are not set
  return {
      {"misspelt datum", {}, AddDatum(40, 0, "PLANE BANK DEGRESS", "Radians"), 7, 2},
      {"unknown unit", {}, AddDatum(40, 0, "PLANE BANK DEGREES", "Furlongs"), 7, 3},
      {"unknown system event", {}, Subscribe(40, 0, "Sometimes"), 7, 2},
      {"unknown input", MapClientEvent(2, 18), MapPovInput(40, 0, 18, "joystick:1:POV"), 7, 2},
      {"simulator event", {}, MapClientEvent(40, 5, "NO_SUCH_EVENT"), 7, 2},
      {"datum as INT32", {}, AddDatum(40, 0, "PLANE BANK DEGREES", "Radians", 1), 18, 4},
      {"unknown function", {}, MakePacket(0x7F, 40, {}), 3, kUnused},
      {"type without marker", {}, unmarked, 3, kUnused},
      {"packet too long", {}, MakePacket(0x32, 40, {19, 0, 0, 0, 0, 0, 0, 0}), 2, kUnused},
      {"packet too short", {}, MakePacket(0x0E, 40, Bytes(28, 0)), 2, kUnused},
      {"undefined definition", {}, RequestData(40, 1, 9, 2), 3, 2},
      {"sub-item of no menu", {}, MenuAddSubItem(40, 19, "Exit", 20), 3, 1},
      {"event not mapped", {}, AddToGroup(40, 0, 18), 3, 2},
      {"duplicate menu id", MenuAddItem(2, "Vantilo", 19), MenuAddItem(40, "Other", 19), 9, 2},
      {"duplicate client event", MapClientEvent(2, 18), MapClientEvent(40, 18), 9, 1},
      {"subscription on a mapped id", MapClientEvent(2, 3), Subscribe(40, 3, "Frame"), 9, 1},
      {"duplicate group entry", Join({MapClientEvent(2, 18), AddToGroup(3, 0, 18)}),
       AddToGroup(40, 1, 18), 9, 2},
      {"state of no input group", {}, SetInputGroupState(40, 4, 1), 3, 1},
      {"second POV mapping in a group", Join({MapClientEvent(2, 18), MapPovInput(3, 0, 18)}),
       MapPovInput(40, 0, 18), 29, 2,
       "exception DUPLICATE_ID for MapInputEventToClientEvent (send id 40, argument 2)"},
      {"period out of range", AddDatum(2, 0, "PLANE BANK DEGREES", "Radians"),
       RequestData(40, 1, 0, 6), 27, 4,
       "exception INVALID_ENUM for RequestDataOnSimObject (send id 40, argument 4)"},
      {"unknown object", AddDatum(2, 0, "PLANE BANK DEGREES", "Radians"),
       Encode<wire::kRequestDataOnSimObject>(40, 1u, 0u, 7u, 2u, 0u, 0u, 0u, 0u), 3, 3,
       "exception UNRECOGNIZED_ID for RequestDataOnSimObject (send id 40, argument 3)"},
      {"deleting no menu", Bytes(), MenuDeleteItem(40, 19), 3, 1,
       "exception UNRECOGNIZED_ID for MenuDeleteItem (send id 40, argument 1)"},
      {"deleting no sub-item", MenuAddItem(2, "Vantilo", 19),
       Encode<wire::kMenuDeleteSubItem>(40, 19u, 21u), 3, 2,
       "exception UNRECOGNIZED_ID for MenuDeleteSubItem (send id 40, argument 2)"},
      {"second Open", {}, OpenPacket(2, 40), 1, kUnused, "exception ERROR for Open (send id 40)"},
  };
}

// Each row on a client of its own: client 1 for the first row, and so on.
TEST(StandinFaults, EachFaultGetsItsExceptionWithSendIdAndIndex) {
  StandinProcess standin({"--scenario", QuietScenario()});
  const std::vector<FaultCase> faults = FaultCases();
  for (const FaultCase& fault : faults) {
    RawClient client(standin.port());
    ASSERT_EQ(client.Open().size(), 308u) << fault.name;
    client.Send(fault.setup);
    client.Send(fault.packet);
    EXPECT_EQ(client.RecordWhere(IsException), ExceptionBytes(2, fault.code, 40, fault.index))
        << fault.name;
  }
  standin.Signal(SIGTERM);  // its log whole
  ASSERT_EQ(standin.WaitForExit(10000), 128 + SIGTERM);
  const std::string log = standin.Stdout();
  for (std::size_t i = 0; i < faults.size(); ++i) {
    const std::string line = "client " + std::to_string(i + 1) + ": " + faults[i].note + "\n";
    EXPECT_TRUE(faults[i].note.empty() || log.find(line) != std::string::npos) << line << log;
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

// A function added to the wire's table is a function the stand-in serves:
// its README's list of what a client can do names it.
TEST(StandinReadme, NamesEveryFunctionAClientCanCall) {
  const std::string readme = FileText(VANTILO_SOURCE_DIR "/standin/README.md");
  const std::size_t start = readme.find("## What a client can do");
  ASSERT_NE(start, std::string::npos);
  const std::string list = readme.substr(start, readme.find("\n## ", start + 1) - start);
  for (const wire::PacketLayout& layout : wire::kPacketLayouts) {
    EXPECT_NE(list.find(layout.name), std::string::npos) << layout.name;
  }
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
    broken.Send(Words({size, 2u, 0xF0000032u, 2u}));  // a header whose size is impossible
    EXPECT_TRUE(broken.ClosedByPeer()) << "size " << size;
    Bytes data = steady.NextRecord();
    EXPECT_EQ(Word(data, 8), 8u) << "the other client still gets its data";
  }
}

}  // namespace
}  // namespace support
