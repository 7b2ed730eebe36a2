// vantilo against a host that fails under it (a stream cut inside a record,
// sizes out of bounds, garbage, a host that stops reading or falls silent, a
// stand-in killed or restarted): it must end through its tear-down with
// status 0 and never send on a link it has given up; a failed open says why.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <random>

#include "runs.h"
#include "standin/wire/records.h"
#include "tests/support/client_packets.h"
#include "tests/support/console_text.h"
#include "tests/support/files.h"
#include "tests/support/private_network.h"
#include "tests/support/rolling_scenario.h"
#include "tests/support/sockets.h"
#include "tests/support/standin_process.h"
#include "tests/support/trace_lines.h"

namespace faults {
namespace {

using namespace support;

const std::size_t kRegistrationPackets = ProgramRegistrationPackets();
// After the Open and the registration.
const std::uint32_t kFirstCameraSendId = static_cast<std::uint32_t>(kRegistrationPackets) + 2;
const int kCloseWaitMs = 10000;
// The server's receive buffer: small, so that unread commands fill it fast.
const int kReceiveBuffer = 4096;

// The camera command's heading bits for a bank of 0.5 rad (-28.648735f)
// and of -0.25 rad (14.3243675f).
const char kHeadingForHalfRadian[] = "9c30e5c1";
const char kHeadingForMinusQuarterRadian[] = "9c306541";

// What the host does after its row's bytes. It sends an attitude record,
// which must be answered, then the menu's Exit, which must bring the
// tear-down; also once the reader of the program's output has gone, as head
// -c 10 does (the prints fail; the program must follow on so that its
// tear-down takes its menu away). It closes. It waits: a corrupt stream is
// the program's to notice, and nothing more may come. It floods and never
// reads, till the program's send limit passes. Its link falls silent (a PC
// that crashes sends no FIN, no RST) as an attitude record has come.
enum class Then { kExits, kExitsWithoutOutputReader, kCloses, kWaits, kStopsReading, kFallsSilent };
struct HostRow {
  const char* name;
  Bytes bytes;
  Then then;
};

void PrintTo(const HostRow& row, std::ostream* out) { *out << row.name; }

const auto kRowName = [](const auto& info) { return std::string(info.param.name); };

// A record header with any size word (id SIMOBJECT_DATA).
Bytes Header(std::uint32_t size) {
  return Words({size, kProtocol, std::uint32_t{SIMCONNECT_RECV_ID_SIMOBJECT_DATA}});
}

Bytes RandomBytes(std::size_t count, std::mt19937& random) {
  Bytes bytes(count);
  std::generate(bytes.begin(), bytes.end(), [&] { return static_cast<std::uint8_t>(random()); });
  return bytes;
}

// Well-framed records with random bodies, of the kinds the program reads and
// of others, then a size under 12. None ends the program (no QUIT, no menu
// Exit) and no attitude record is whole, so none of them may be answered.
Bytes RandomRecordsThenBadSize() {
  std::mt19937 random(11);
  const std::uint32_t ids[] = {0, 1, 2, 4, 5, 7, 8, 9, 15, 26, 40, 0x7FFFFFFFu};
  std::vector<Bytes> records;
  for (int i = 0; i < 400; ++i) {
    std::uint32_t id = ids[random() % (sizeof ids / sizeof ids[0])];
    Bytes body = RandomBytes(random() % 300, random);
    if (id == SIMCONNECT_RECV_ID_EVENT && body.size() >= 8) {
      body[4] = static_cast<std::uint8_t>(random() % 20);  // events 0-19: hat, view, 1sec...
      body[5] = body[6] = body[7] = 0;
    }
    if (id == SIMCONNECT_RECV_ID_SIMOBJECT_DATA) {
      body.resize(body.size() % 44);  // under 56 bytes in all: short of the bank
      if (body.size() >= 4) {
        body[0] = 1;  // request 1
        body[1] = body[2] = body[3] = 0;
      }
    }
    records.push_back(Record(id, body));
  }
  records.push_back(Header(7));
  return Join(records);
}

std::vector<HostRow> HostRows() {
  const Bytes attitude = AttitudeRecord(0.05, 0.5);
  const std::string http = "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
  std::mt19937 random(7);
  return {
      // The well-behaved end, so that "nothing more may come" is known to be
      // able to see the tear-down.
      {"MenuExit", {}, Then::kExits},
      // 12 bytes, the header alone; exactly 64 KiB.
      {"MenuExitAfterRecordsAtTheSizeBounds",
       Join({Record(0, {}), Record(0x7777, Bytes(64 * 1024 - 12, 0))}), Then::kExits},
      // An exception: a report to print.
      {"MenuExitAfterItsOutputReaderWent", standin::ExceptionRecord(kProtocol, 3, 7, 2),
       Then::kExitsWithoutOutputReader},
      {"EndsBetweenRecords", {}, Then::kCloses},
      {"EndsInsideARecordHeader", Bytes(attitude.begin(), attitude.begin() + 2), Then::kCloses},
      {"EndsInsideARecordBody", Bytes(attitude.begin(), attitude.begin() + 30), Then::kCloses},
      {"SizeZero", Header(0), Then::kWaits},
      {"SizeEleven", Header(11), Then::kWaits},
      {"SizeOneOverTheLimit", Header(64 * 1024 + 1), Then::kWaits},
      {"SizeAllOnes", Header(0xFFFFFFFFu), Then::kWaits},
      {"TextOfAnotherProtocol", Bytes(http.begin(), http.end()), Then::kWaits},
      {"RandomBytes", RandomBytes(4096, random), Then::kWaits},  // its first word is no size
      {"RandomRecordsThenASizeUnderTwelve", RandomRecordsThenBadSize(), Then::kWaits},
      {"StopsReading", {}, Then::kStopsReading},
      {"FallsSilent", attitude, Then::kFallsSilent},
  };
}

// The program connected, registered and following: three attitude records
// answered by three camera commands. A row whose link falls silent enters a
// private network first, before the server and the program start.
class ProgramAgainstFaultServer : public ::testing::TestWithParam<HostRow> {
 protected:
  void SetUp() override {
    if (then_ == Then::kFallsSilent && !inNetwork_) {
      GTEST_SKIP() << why_;
    }
    dir_.WriteCfgForPort(server_.port());
    program_ = StartProgram({}, then_ == Then::kExitsWithoutOutputReader);
    ASSERT_TRUE(server_.AcceptOpen());
    ASSERT_EQ(server_.ReadPackets(kRegistrationPackets).size(), kRegistrationPackets);
    for (std::uint32_t i = 0; i < 3; ++i) {
      ASSERT_NO_FATAL_FAILURE(ExpectAnswered(0.5, kFirstCameraSendId + i, kHeadingForHalfRadian));
    }
  }
  // Sends an attitude record of this bank and expects the camera command
  // with this send id and heading bits in answer.
  void ExpectAnswered(double bank, std::uint32_t sendId, const std::string& headingHex) {
    ASSERT_TRUE(server_.Send(AttitudeRecord(0.05, bank)));
    std::vector<Bytes> packets = server_.ReadPackets(1);
    ASSERT_EQ(packets.size(), 1u) << "vantilo ended: " << program_->WaitForExit(kCloseWaitMs);
    const Bytes body = FromHex("00000000 00000000 00000000 00000041 00000000 " + headingHex);
    EXPECT_EQ(ToHex(packets[0]), ToHex(MakePacket(0x30, sendId, body)));
  }
  void TearDown() override {
    if (inNetwork_) {
      SetLoopbackUp(true, &why_);
    }
  }

  const Then then_ = GetParam().then;
  std::string why_;  // before inNetwork_, which writes it
  const bool inNetwork_ = then_ == Then::kFallsSilent && EnterPrivateNetwork(&why_);
  WorkDir dir_;  // the program starts in it
  ScriptedServer server_{kReceiveBuffer};
  std::unique_ptr<ChildProcess> program_;
};

TEST_P(ProgramAgainstFaultServer, EndsThroughItsTearDown) {
  if (then_ == Then::kExitsWithoutOutputReader) {
    program_->CloseOutputPipe();
  }
  ASSERT_TRUE(server_.Send(GetParam().bytes));
  Bytes rest;
  switch (then_) {
    case Then::kExits:
    case Then::kExitsWithoutOutputReader:
      ASSERT_NO_FATAL_FAILURE(
          ExpectAnswered(-0.25, kFirstCameraSendId + 3, kHeadingForMinusQuarterRadian));
      ASSERT_TRUE(server_.Send(standin::EventRecord(kProtocol, 0, 20, 12345)));  // menu Exit
      ASSERT_TRUE(server_.ReadUntilClosed(kCloseWaitMs, &rest));
      EXPECT_EQ(ToHex(rest), ToHex(ProgramTearDown(kFirstCameraSendId + 4)));
      break;
    case Then::kCloses:
      server_.CloseClient();
      break;
    case Then::kWaits:
      EXPECT_TRUE(server_.ReadUntilClosed(kCloseWaitMs, &rest));
      EXPECT_EQ(ToHex(rest), "");
      break;
    case Then::kStopsReading:
      EXPECT_GT(server_.FloodWithoutReading(1000), 0u);
      break;
    case Then::kFallsSilent:
      ASSERT_TRUE(SetLoopbackUp(false, &why_)) << why_;
      break;
  }
  ExpectCleanProgramEnd(*program_);
  if (then_ == Then::kStopsReading) {
    EXPECT_TRUE(server_.ReadUntilClosed(kCloseWaitMs, &rest));
  }
}

INSTANTIATE_TEST_SUITE_P(Faults, ProgramAgainstFaultServer, ::testing::ValuesIn(HostRows()),
                         kRowName);

// A name server on 127.0.0.1:53 that takes queries and never answers.
struct SilentNameServer {
  SilentNameServer() {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(53);
    bound = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  ~SilentNameServer() { close(fd); }
  bool QueryArrived() const {
    char byte;
    return recv(fd, &byte, 1, MSG_DONTWAIT | MSG_PEEK) >= 0;
  }
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  bool bound = false;
};

// Who answers a name lookup: the machine's own resolver; nobody, in a
// private network whose resolver asks 127.0.0.1, where nothing listens (no
// query leaves the machine); or a SilentNameServer there, waited for 30 s.
enum class Resolver { kMachine, kNobody, kSilent };

// An open that fails: the program says on standard error what failed and
// where, in one line, before its usual line on standard output.
struct FailedOpen {
  const char* name;
  const char* cfg;         // SimConnect.cfg's section; {port} stands for the dead port
  const char* stderrLine;  // {port} as in cfg
  Resolver resolver;
  DeadPort::Kind port = DeadPort::Kind::kRefuses;  // how a connect to that port fails
  bool threadless = false;                         // the program cannot start a thread
};

const FailedOpen kFailedOpens[] = {
    {"UnresolvableName", "Address=flightsim-pc", "SimConnect.cfg: cannot resolve 'flightsim-pc'",
     Resolver::kNobody},
    {"PortInTheAddress", "Address=127.0.0.1:500",
     "SimConnect.cfg: bad Address '127.0.0.1:500' (a host name or address, without a port)",
     Resolver::kNobody},
    {"IPv6WithAnIPv4Address", "Protocol=IPv6\nAddress=127.0.0.1",
     "SimConnect.cfg: Address '127.0.0.1' is an IPv4 address: it needs Protocol=IPv4",
     Resolver::kNobody},
    {"IPv4WithAnIPv6Address", "Protocol=IPv4\nAddress=::1",
     "SimConnect.cfg: Address '::1' is an IPv6 address: it needs Protocol=IPv6", Resolver::kNobody},
    {"RefusedConnect", "Address=127.0.0.1\nPort={port}",
     "connect to 127.0.0.1:{port}: connection refused", Resolver::kMachine},
    {"UnansweredConnect", "Address=127.0.0.1\nPort={port}",
     "connect to 127.0.0.1:{port}: connection timed out", Resolver::kMachine,
     DeadPort::Kind::kNeverAnswers},
    // Without a thread the lookup would have no bound: it is not tried.
    {"NoThreadForTheLookup", "Address=flightsim-pc",
     "SimConnect.cfg: cannot resolve 'flightsim-pc': no thread could be started for the lookup",
     Resolver::kNobody, DeadPort::Kind::kRefuses, true},
    // The lookup is given up with the open, long before the resolver would.
    {"NameServerThatNeverAnswers", "Address=flightsim-pc",
     "SimConnect.cfg: cannot resolve 'flightsim-pc' within 3 s", Resolver::kSilent},
};

// Threads get RLIMIT_STACK as their stack size: a limit past the address
// space leaves a program started under it unable to start any thread.
const rlim_t kStackPastTheAddressSpace = rlim_t{1} << 50;
// The open's 3 s bound, the program's 2 s pause after it, and some slack.
const int kBoundedOpenEndMs = 3000 + 2000 + 3000;

void PrintTo(const FailedOpen& open, std::ostream* out) { *out << open.name; }

std::string WithPort(std::string text, int port) {
  const std::size_t at = text.find("{port}");
  return at == std::string::npos ? text : text.replace(at, 6, std::to_string(port));
}

class ProgramThatCannotOpen : public ::testing::TestWithParam<FailedOpen> {};

TEST_P(ProgramThatCannotOpen, SaysWhatFailedAndWhereOnStandardError) {
  const FailedOpen& row = GetParam();
  std::string why;
  std::unique_ptr<SilentNameServer> nameServer;
  if (row.resolver != Resolver::kMachine) {
    if (!EnterPrivateNetwork(&why)) {
      GTEST_SKIP() << why;
    }
    if (row.resolver == Resolver::kSilent) {
      nameServer = std::make_unique<SilentNameServer>();
      ASSERT_TRUE(nameServer->bound);
    }
    const std::string wait = nameServer ? "options timeout:30 attempts:1\n" : "";
    ASSERT_TRUE(UseResolverConfig("nameserver 127.0.0.1\n" + wait, &why)) << why;
  }
  DeadPort dead(row.port);
  WorkDir dir;
  dir.WriteCfg(WithPort(std::string("[SimConnect]\n") + row.cfg + "\n", dead.port()));
  rlimit stack{};
  ASSERT_EQ(getrlimit(RLIMIT_STACK, &stack), 0);
  const rlimit usual = stack;
  if (row.threadless) {
    if (stack.rlim_max != RLIM_INFINITY && stack.rlim_max < kStackPastTheAddressSpace) {
      GTEST_SKIP() << "the stack's hard limit is too low to leave a program without threads";
    }
    stack.rlim_cur = kStackPastTheAddressSpace;
    ASSERT_EQ(setrlimit(RLIMIT_STACK, &stack), 0);
  }
  std::unique_ptr<ChildProcess> program = StartProgram();
  setrlimit(RLIMIT_STACK, &usual);
  EXPECT_EQ(program->WaitForExit(nameServer ? kBoundedOpenEndMs : kCloseWaitMs), 0);
  if (nameServer) {
    EXPECT_TRUE(nameServer->QueryArrived());
  }
  EXPECT_EQ(program->Stderr(), WithPort(row.stderrLine, dead.port()) + "\n");
  const std::string out = program->Stdout();
  const std::string told = ConsoleText("no simulator");
  EXPECT_EQ(out.substr(out.size() - std::min(out.size(), told.size())), told) << out;
}

INSTANTIATE_TEST_SUITE_P(Faults, ProgramThatCannotOpen, ::testing::ValuesIn(kFailedOpens),
                         kRowName);

// A traced stand-in that keeps the aircraft rolling for ten minutes, longer
// than any test here; at a port the system picks when port is 0.
std::unique_ptr<StandinProcess> RollingStandin(int port) {
  StandinOptions options;
  options.port = port;
  options.trace = true;
  return std::make_unique<StandinProcess>(
      std::vector<std::string>{"--scenario", RollingScenarioFile(600)}, options);
}

// vantilo following the stand-in, which is then killed or stopped, and
// started again on its port: the program must end, and not come back.
class ProgramAgainstStandin : public ::testing::TestWithParam<int> {};  // the signal

TEST_P(ProgramAgainstStandin, EndsWhenTheStandinEndsAndNeverReconnects) {
  WorkDir dir;
  std::unique_ptr<StandinProcess> first = RollingStandin(0);
  ASSERT_NE(first->port(), 0) << first->error();
  dir.WriteCfgForPort(first->port());
  std::unique_ptr<ChildProcess> program = StartProgram();
  ASSERT_TRUE(WaitForLine(first->trace(), "\"kind\":\"camera\"", kCloseWaitMs));
  first->Signal(GetParam());
  EXPECT_EQ(first->WaitForExit(kCloseWaitMs), 128 + GetParam());
  ExpectNoSanitizerReport(*first, "first stand-in");
  std::unique_ptr<StandinProcess> second = RollingStandin(first->port());
  ASSERT_EQ(second->port(), first->port()) << second->error();
  ExpectCleanProgramEnd(*program);

  second->Signal(SIGTERM);
  EXPECT_EQ(second->WaitForExit(kCloseWaitMs), 128 + SIGTERM);
  EXPECT_EQ(CountLines(second->trace(), "\"kind\":\"connect\""), 0u);
  EXPECT_NE(second->Stdout().find("clients served        0\n"), std::string::npos)
      << second->Stdout();
  ExpectNoSanitizerReport(*second, "second stand-in");
}

INSTANTIATE_TEST_SUITE_P(Faults, ProgramAgainstStandin, ::testing::Values(SIGKILL, SIGTERM),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return std::string(info.param == SIGKILL ? "Killed" : "Stopped");
                         });

}  // namespace
}  // namespace faults
