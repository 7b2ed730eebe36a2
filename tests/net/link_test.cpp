// The host link over a real loopback socket: each operation's packet byte
// for byte, records handed over whole and aligned, the quit
// record on a lost connection, and opens that must fail.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <thread>

#include "hostlink/net/wire.h"
#include "hostlink/simconnect.h"
#include "standin/wire/records.h"
#include "tests/support/bytes.h"
#include "tests/support/files.h"
#include "tests/support/sockets.h"

using support::Bytes;
using support::Hex;
using support::HexField256;
using support::kProtocol;
using support::ToHex;

namespace {

// Every record a dispatch procedure was given, with its alignment.
struct Collector {
  std::vector<Bytes> records;
  bool allAligned = true;
  HANDLE closeWhenCalled = nullptr;  // when set, the procedure closes this handle
};

void Collect(SIMCONNECT_RECV* data, DWORD size, void* context) {
  Collector* collector = static_cast<Collector*>(context);
  const std::uint8_t* bytes = reinterpret_cast<const std::uint8_t*>(data);
  collector->records.push_back(Bytes(bytes, bytes + size));
  collector->allAligned = collector->allAligned && reinterpret_cast<std::uintptr_t>(data) % 8 == 0;
  if (collector->closeWhenCalled != nullptr) {
    SimConnect_Close(collector->closeWhenCalled);
  }
}

const std::string kQuitHex = Hex("0c000000 02000000 03000000");
const std::string kQuitAt4Hex = Hex("0c000000 04000000 03000000");

class LinkTest : public ::testing::Test {
 protected:
  explicit LinkTest(int receiveBuffer = 0) : server(receiveBuffer) {
    dir.WriteCfgForPort(server.port());
  }
  void TearDown() override { SimConnect_Close(handle); }

  // Opens, accepts and reads the open packet.
  void Connect() {
    ASSERT_EQ(SimConnect_Open(&handle, "Vantilo", nullptr, 0, nullptr, 0), 0);
    ASSERT_NE(handle, nullptr);
    ASSERT_TRUE(server.Accept());
    ASSERT_EQ(server.ReadPackets(1).size(), 1u);
  }

  // Dispatches until count records in all have come, with a 5 s safety
  // bound; fails when another number came.
  ::testing::AssertionResult DispatchUntil(std::size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (collector.records.size() < count && std::chrono::steady_clock::now() < deadline) {
      SimConnect_CallDispatch(handle, Collect, &collector);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (collector.records.size() == count) {
      return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << collector.records.size() << " records, wanted " << count;
  }

  std::string ServerPort() const { return std::to_string(server.port()) + "\n"; }

  support::WorkDir dir;
  support::ScriptedServer server;
  HANDLE handle = nullptr;
  Collector collector;
};
// Opens against a server that must not be reached, or reached only through
// an unusual SimConnect.cfg written over the fixture's.
using LinkOpen = LinkTest;

// One row per operation (and an overlong text, cut on the wire): the call,
// and its packet as sent after the Open.
struct OperationRow {
  std::function<HRESULT(HANDLE)> call;
  std::string hex;  // with send id 0: the test puts in the packet's own
};

const std::string kDatum = Hex("04000000 00000000 ffffffff");
const OperationRow kOperations[] = {
    {[](HANDLE h) { return SimConnect_MenuAddItem(h, "Vantilo", 19, 12345); },
     Hex("18010000 02000000 310000f0 00000000") + HexField256("Vantilo") +
         Hex("13000000 39300000")},
    {[](HANDLE h) { return SimConnect_MenuAddSubItem(h, 19, "Pause", 21, 12345); },
     Hex("1c010000 02000000 330000f0 00000000 13000000") + HexField256("Pause") +
         Hex("15000000 39300000")},
    {[](HANDLE h) { return SimConnect_MapClientEventToSimEvent(h, 21, ""); },
     Hex("14010000 02000000 040000f0 00000000 15000000") + HexField256("")},
    {[](HANDLE h) {
       return SimConnect_MapInputEventToClientEvent(h, 0, "joystick:0:POV", 18, 0,
                                                    SIMCONNECT_UNUSED, 0, 0);
     },
     Hex("28010000 02000000 110000f0 00000000 00000000") + HexField256("joystick:0:POV") +
         Hex("12000000 00000000 ffffffff 00000000 00000000")},
    {[](HANDLE h) { return SimConnect_AddClientEventToNotificationGroup(h, 0, 18, 0); },
     Hex("1c000000 02000000 070000f0 00000000 00000000 12000000 00000000")},
    {[](HANDLE h) { return SimConnect_SetInputGroupState(h, 0, SIMCONNECT_STATE_ON); },
     Hex("18000000 02000000 150000f0 00000000 00000000 01000000")},
    {[](HANDLE h) { return SimConnect_SubscribeToSystemEvent(h, 2, "1sec"); },
     Hex("14010000 02000000 170000f0 00000000 02000000") + HexField256("1sec")},
    {[](HANDLE h) {
       return SimConnect_SubscribeToSystemEvent(h, 3, std::string(300, 'x').c_str());
     },
     Hex("14010000 02000000 170000f0 00000000 03000000") + HexField256(std::string(255, 'x'))},
    {[](HANDLE h) {
       return SimConnect_AddToDataDefinition(h, 0, "PLANE BANK DEGREES", "Radians",
                                             SIMCONNECT_DATATYPE_FLOAT64, 0.0f, SIMCONNECT_UNUSED);
     },
     Hex("20020000 02000000 0c0000f0 00000000 00000000") + HexField256("PLANE BANK DEGREES") +
         HexField256("Radians") + kDatum},
    {[](HANDLE h) {
       return SimConnect_RequestDataOnSimObject(h, 1, 0, SIMCONNECT_OBJECT_ID_USER,
                                                SIMCONNECT_PERIOD_VISUAL_FRAME, 0, 0, 0, 0);
     },
     Hex("30000000 02000000 0e0000f0 00000000 01000000 00000000 00000000 02000000 00000000 "
         "00000000 00000000 00000000")},
    {[](HANDLE h) { return SimConnect_CameraSetRelative6DOF(h, 0, 0, 0, 8.0f, 0.0f, -28.648735f); },
     Hex("28000000 02000000 300000f0 00000000 00000000 00000000 00000000 00000041 00000000 "
         "9c30e5c1")},
    {[](HANDLE h) { return SimConnect_MenuDeleteSubItem(h, 19, 21); },
     Hex("18000000 02000000 340000f0 00000000 13000000 15000000")},
    {[](HANDLE h) { return SimConnect_MenuDeleteItem(h, 19); },
     Hex("14000000 02000000 320000f0 00000000 13000000")},
};

const std::string kOpenHex = Hex("28010000 02000000 010000f0 01000000") + HexField256("Vantilo") +
                             Hex("00000000 00585346 00000000 00000000 e9ed0000 00000000");

// Each function of wire.h's list has its packet here, the Open's or a row's:
// a function added to the list fails this until its packet is written out.
TEST(LinkRows, EveryFunctionOfTheWireListHasAPacket) {
  auto function = [](const std::string& hex) {
    return support::Word(support::FromHex(hex), 8) & ~wire::kPacketTypeMarker;
  };
  std::set<std::uint32_t> covered = {function(kOpenHex)};
  for (const OperationRow& row : kOperations) {
    covered.insert(function(row.hex));
  }
  for (const wire::FunctionId id : wire::kFunctionIds) {
    EXPECT_EQ(covered.count(id), 1u) << wire::FunctionName(id);
  }
}

// The Open packet, then every row's packet on one connection with send ids
// counting on from the Open's 1, and nothing for the Close.
TEST_F(LinkTest, EachOperationsPacketByteForByte) {
  ASSERT_EQ(SimConnect_Open(&handle, "Vantilo", nullptr, 0, nullptr, 0), 0);
  ASSERT_TRUE(server.Accept());
  std::vector<std::string> expected = {kOpenHex};
  for (const OperationRow& row : kOperations) {
    EXPECT_EQ(row.call(handle), 0) << "row " << expected.size();
    const Bytes sendId = {static_cast<std::uint8_t>(expected.size() + 1), 0, 0, 0};
    expected.push_back(row.hex.substr(0, 24) + ToHex(sendId) + row.hex.substr(32));
  }
  EXPECT_EQ(SimConnect_Close(handle), 0);
  Bytes sent;
  ASSERT_TRUE(server.ReadUntilClosed(5000, &sent));
  const std::string hex = ToHex(sent);
  std::size_t at = 0;  // in hex digits
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(hex.substr(at, expected[i].size()), expected[i]) << "packet " << i;
    at += expected[i].size();
  }
  EXPECT_EQ(at, hex.size());
}

// Records are handed over as they came, whatever protocol their header
// names: newer simulators stamp their own, and Prepar3D's events are
// reported to carry a flags word after the data (28 bytes).
TEST_F(LinkTest, RecordsSplitAcrossReadsArriveWholeAlignedAndInOrder) {
  Connect();
  const Bytes open = standin::OpenRecord(6);
  Bytes event = standin::EventRecord(5, standin::kUnknownGroup, 2, 0);
  support::PutU32(event, 0);
  event[0] = 28;
  const Bytes frame = standin::FrameRecord(4, 3, 60.0f, 1.0f);
  const Bytes stream = support::Join({open, event, frame});
  const std::size_t cut = open.size() + event.size() + 5;  // inside the frame record
  ASSERT_TRUE(server.Send(Bytes(stream.begin(), stream.begin() + cut)));
  ASSERT_TRUE(DispatchUntil(2));
  SimConnect_CallDispatch(handle, Collect, &collector);
  ASSERT_EQ(collector.records.size(), 2u);
  ASSERT_TRUE(server.Send(Bytes(stream.begin() + cut, stream.end())));
  ASSERT_TRUE(DispatchUntil(3));
  EXPECT_EQ(collector.records[0], open);
  EXPECT_EQ(collector.records[1], event);
  EXPECT_EQ(collector.records[2], frame);
  EXPECT_TRUE(collector.allAligned);
}

TEST_F(LinkTest, ServerClosingGivesOneQuitRecordThenEveryOperationFails) {
  Connect();
  const Bytes event = standin::EventRecord(kProtocol, 0, 20, 12345);
  ASSERT_TRUE(server.Send(event));
  server.CloseClient();
  ASSERT_TRUE(DispatchUntil(2));
  EXPECT_EQ(collector.records[0], event);
  EXPECT_EQ(ToHex(collector.records[1]), kQuitHex);
  EXPECT_TRUE(collector.allAligned);

  EXPECT_LT(SimConnect_CallDispatch(handle, Collect, &collector), 0);
  EXPECT_EQ(collector.records.size(), 2u);
  EXPECT_LT(SimConnect_MenuDeleteItem(handle, 19), 0);
  EXPECT_LT(SimConnect_CameraSetRelative6DOF(handle, 0, 0, 0, 0, 0, 0), 0);
  EXPECT_EQ(SimConnect_Close(handle), 0);
  EXPECT_LT(SimConnect_Close(handle), 0);
}

// How the scripted simulator answers an Open.
enum class Answer { kServe, kRefuseByException, kRefuseByClose };

struct NegotiationRow {
  const char* name;
  Answer atProtocol2;
  Answer atProtocol4;
  const char* line;  // standard error's line after the address, when both refuse
};

class Negotiation : public LinkTest, public ::testing::WithParamInterface<NegotiationRow> {
 protected:
  void Refuse(Answer answer, std::uint32_t protocol) {
    if (answer == Answer::kRefuseByException) {
      // The hardest refusal: the connection stays open, and nothing more comes.
      ASSERT_TRUE(server.Send(standin::ExceptionRecord(
          protocol, SIMCONNECT_EXCEPTION_VERSION_MISMATCH, 1, standin::kUnknownIndex)));
    } else {
      server.CloseClient();
    }
  }
};

// A simulator that refuses protocol 2 gets the Open and every packet sent
// so far again, on a fresh connection at protocol 4, and the program never
// sees the refusal. Refused there too, the program gets a quit record and
// standard error one line.
TEST_P(Negotiation, ARefusedProtocolIsOpenedAgainAtProtocol4Unseen) {
  const NegotiationRow& row = GetParam();
  Connect();
  EXPECT_EQ(SimConnect_MenuAddItem(handle, "Vantilo", 19, 12345), 0);
  EXPECT_EQ(SimConnect_SubscribeToSystemEvent(handle, 3, "Frame"), 0);
  const std::vector<Bytes> atTwo = server.ReadPackets(2);
  ASSERT_EQ(atTwo.size(), 2u);
  Refuse(row.atProtocol2, 2);

  testing::internal::CaptureStderr();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!server.HasPendingConnection() && std::chrono::steady_clock::now() < deadline) {
    EXPECT_EQ(SimConnect_CallDispatch(handle, Collect, &collector), 0);
  }
  ASSERT_TRUE(server.Accept());
  const std::vector<Bytes> atFour = server.ReadPackets(3);
  ASSERT_EQ(atFour.size(), 3u);
  EXPECT_EQ(ToHex(atFour[0]), Hex("28010000 04000000 010000f0 01000000") + HexField256("Vantilo") +
                                  Hex("00000000 00585346 0a000000 00000000 4bef0000 00000000"));
  for (std::size_t i = 0; i < atTwo.size(); ++i) {
    Bytes restamped = atTwo[i];
    restamped[4] = 4;
    EXPECT_EQ(ToHex(atFour[i + 1]), ToHex(restamped)) << "packet " << i + 1;
  }

  std::string stderrLine;
  if (row.atProtocol4 == Answer::kServe) {
    ASSERT_TRUE(server.Send(standin::OpenRecord(4)));
    ASSERT_TRUE(DispatchUntil(1));
    EXPECT_EQ(collector.records[0], standin::OpenRecord(4));
    EXPECT_EQ(SimConnect_SetInputGroupState(handle, 0, SIMCONNECT_STATE_ON), 0);
    const std::vector<Bytes> next = server.ReadPackets(1);
    ASSERT_EQ(next.size(), 1u);
    EXPECT_EQ(ToHex(next[0]), Hex("18000000 04000000 150000f0 04000000 00000000 01000000"));
  } else {
    Refuse(row.atProtocol4, 4);
    ASSERT_TRUE(DispatchUntil(1));
    EXPECT_EQ(ToHex(collector.records[0]), kQuitAt4Hex);
    EXPECT_LT(SimConnect_MenuDeleteItem(handle, 19), 0);
    stderrLine = "127.0.0.1:" + std::to_string(server.port()) + " " + row.line + "\n";
  }
  EXPECT_FALSE(server.HasPendingConnection());
  EXPECT_EQ(testing::internal::GetCapturedStderr(), stderrLine);
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, Negotiation,
    ::testing::Values(
        NegotiationRow{"ExceptionThenServed", Answer::kRefuseByException, Answer::kServe, ""},
        NegotiationRow{"CloseThenServed", Answer::kRefuseByClose, Answer::kServe, ""},
        NegotiationRow{"ExceptionAtBoth", Answer::kRefuseByException, Answer::kRefuseByException,
                       "refused SimConnect protocols 2 and 4 (VERSION_MISMATCH)"},
        // Not a refusal: a simulator at its client limit, or
        // any service that hangs up.
        NegotiationRow{"CloseAtBoth", Answer::kRefuseByClose, Answer::kRefuseByClose,
                       "closed the connection before answering (protocols 2 and 4 tried)"}),
    [](const ::testing::TestParamInfo<NegotiationRow>& info) { return info.param.name; });

// Refused at protocol 2 by a simulator that has gone by the second connect:
// one line of both, and the quit record.
TEST_F(LinkTest, ARefusalFromASimulatorThatIsGoneEndsTheLinkSayingWhy) {
  Connect();
  server.StopListening();
  server.CloseClient();
  testing::internal::CaptureStderr();
  ASSERT_TRUE(DispatchUntil(1));
  EXPECT_EQ(ToHex(collector.records[0]), kQuitAt4Hex);
  const std::string where = "127.0.0.1:" + std::to_string(server.port());
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            where + " closed the connection before answering protocol 2; opening it again at " +
                "protocol 4: connect to " + where + ": connection refused\n");
}

// A corrupt record and the end of the stream in one read (one that fills
// the link's 16 KiB chunk, so it reads on to the end), before any record:
// a lost link like any corrupt stream, not a refusal.
TEST_F(LinkTest, ACorruptStreamWhileNegotiatingEndsTheLinkWithoutASecondOpen) {
  Connect();
  Bytes corrupt;
  support::PutU32(corrupt, 65537);
  support::PutU32(corrupt, kProtocol);
  corrupt.resize(16 * 1024);
  ASSERT_TRUE(server.Send(corrupt));
  server.CloseClient();
  ASSERT_TRUE(DispatchUntil(1));
  EXPECT_EQ(ToHex(collector.records[0]), kQuitHex);
  EXPECT_FALSE(server.HasPendingConnection());
}

TEST_F(LinkTest, CorruptSizesEndTheConnectionAfterTheWholeRecords) {
  Connect();
  Bytes stream = standin::EventRecord(kProtocol, standin::kUnknownGroup, 1, 2);
  support::PutU32(stream, 65537);
  support::PutU32(stream, kProtocol);
  ASSERT_TRUE(server.Send(stream));
  ASSERT_TRUE(DispatchUntil(2));
  EXPECT_EQ(collector.records[0].size(), 24u);
  EXPECT_EQ(ToHex(collector.records[1]), kQuitHex);
  SimConnect_CallDispatch(handle, Collect, &collector);
  EXPECT_EQ(collector.records.size(), 2u);
  EXPECT_LT(SimConnect_SetInputGroupState(handle, 0, 1), 0);
}

TEST_F(LinkTest, ProcedureClosingTheConnectionStopsDelivery) {
  Connect();
  const Bytes quit = standin::QuitRecord(kProtocol);
  ASSERT_TRUE(server.Send(support::Join({quit, quit})));
  collector.closeWhenCalled = handle;
  EXPECT_TRUE(DispatchUntil(1));
  EXPECT_LT(SimConnect_CallDispatch(handle, Collect, &collector), 0);
  EXPECT_EQ(collector.records.size(), 1u);
}

TEST_F(LinkTest, OnlyOneConnectionAtATime) {
  Connect();
  HANDLE second = nullptr;
  EXPECT_LT(SimConnect_Open(&second, "Second", nullptr, 0, nullptr, 0), 0);
  EXPECT_EQ(second, nullptr);
  EXPECT_FALSE(server.HasPendingConnection());
  EXPECT_EQ(SimConnect_MenuDeleteItem(handle, 19), 0);
}

class StalledServerTest : public LinkTest {
 protected:
  StalledServerTest() : LinkTest(4096) {}
};

// The server never reads: once the socket stays full for about two seconds
// the send fails and the connection counts as lost.
TEST_F(StalledServerTest, FullSocketCountsAsLostConnection) {
  Connect();
  HRESULT result = 0;
  for (int i = 0; i < 10000000 && result == 0; ++i) {
    result = SimConnect_CameraSetRelative6DOF(handle, 0, 0, 0, 8.0f, 0, 1.0f);
  }
  ASSERT_LT(result, 0);
  ASSERT_TRUE(DispatchUntil(1));
  EXPECT_EQ(ToHex(collector.records[0]), kQuitHex);
}

TEST_F(LinkOpen, ClosedPortFailsWithANegativeResult) {
  support::DeadPort refusing(support::DeadPort::Kind::kRefuses);
  dir.WriteCfgForPort(refusing.port());
  EXPECT_LT(SimConnect_Open(&handle, "Vantilo", nullptr, 0, nullptr, 0), 0);
  EXPECT_EQ(handle, nullptr);
  EXPECT_LT(SimConnect_MenuAddItem(handle, "Vantilo", 19, 12345), 0);

  // Over IPv6 the message puts the address in brackets, so the port stays
  // apart from it: a bound IPv6 socket that does not listen refuses.
  int blocker = socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in6 address{};
  address.sin6_family = AF_INET6;
  address.sin6_addr = in6addr_loopback;
  socklen_t length = sizeof address;
  if (blocker < 0 || bind(blocker, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(blocker, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    close(blocker);
    GTEST_SKIP() << "no IPv6 loopback here";
  }
  const std::string port = std::to_string(ntohs(address.sin6_port));
  dir.WriteCfg("[SimConnect]\nProtocol=IPv6\nAddress=::1\nPort=" + port + "\n");
  ::testing::internal::CaptureStderr();
  EXPECT_LT(SimConnect_Open(&handle, "Vantilo", nullptr, 0, nullptr, 0), 0);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "connect to [::1]:" + port + ": connection refused\n");
  close(blocker);
}

TEST_F(LinkOpen, PipeProtocolFailsWithoutConnecting) {
  dir.WriteCfg("[SimConnect]\nProtocol=Pipe\nAddress=127.0.0.1\nPort=" + ServerPort());
  EXPECT_LT(SimConnect_Open(&handle, "Vantilo", nullptr, 0, nullptr, 0), 0);
  EXPECT_FALSE(server.HasPendingConnection());
}

TEST_F(LinkOpen, ConfigIndexSelectsTheSection) {
  dir.WriteCfg("[SimConnect]\nPort=1\n[SimConnect.4]\nAddress=127.0.0.1\nPort=" + ServerPort());
  ASSERT_EQ(SimConnect_Open(&handle, "Vantilo", nullptr, 0, nullptr, 4), 0);
  EXPECT_TRUE(server.Accept());
  EXPECT_EQ(SimConnect_Close(handle), 0);
}

}  // namespace
