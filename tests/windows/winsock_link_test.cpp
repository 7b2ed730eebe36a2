// The host link's Windows parts, run under Wine: the Winsock connection to
// a loopback listener made here, the same of a named pipe served here, and
// the lookup of SimConnect.cfg beside the program.
#include <gtest/gtest.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "hostlink/net/config.h"
#include "hostlink/net/connection.h"
#include "hostlink/net/packets.h"
#include "hostlink/net/program_folder.h"
#include "hostlink/net/reassembly.h"

namespace {

using vantilo_net::Bytes;
using vantilo_net::Connection;
using vantilo_net::LinkSettings;
using vantilo_net::RecordSplitter;
using vantilo_net::SendResult;

const Bytes kQuit = {12, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0};  // a quit record

// A listening socket on 127.0.0.1 with a port chosen by the system, and the
// one connection it accepts. Every wait is bounded by five seconds.
class LoopbackListener {
 public:
  LoopbackListener() {
    WSADATA data;
    started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        listen(listener_, 1) == 0 &&
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
      port_ = ntohs(address.sin_port);
    }
  }
  ~LoopbackListener() {
    CloseAccepted();
    if (listener_ != INVALID_SOCKET) {
      closesocket(listener_);
    }
    if (started_) {
      WSACleanup();
    }
  }
  LoopbackListener(const LoopbackListener&) = delete;
  LoopbackListener& operator=(const LoopbackListener&) = delete;

  std::uint16_t port() const { return port_; }

  LinkSettings Settings() const {
    LinkSettings settings;
    settings.port = port_;
    return settings;
  }

  bool Accept() {
    if (!Readable(listener_)) {
      return false;
    }
    accepted_ = accept(listener_, nullptr, nullptr);
    return accepted_ != INVALID_SOCKET;
  }

  bool SendBytes(const Bytes& bytes) {
    return send(accepted_, reinterpret_cast<const char*>(bytes.data()),
                static_cast<int>(bytes.size()), 0) == static_cast<int>(bytes.size());
  }

  // Reads exactly count bytes, or fewer if the stream ends or stalls.
  Bytes Receive(std::size_t count) {
    Bytes got;
    char chunk[4096];
    while (got.size() < count && Readable(accepted_)) {
      int wanted = static_cast<int>(std::min(sizeof chunk, count - got.size()));
      int n = recv(accepted_, chunk, wanted, 0);
      if (n <= 0) {
        break;
      }
      got.insert(got.end(), chunk, chunk + n);
    }
    return got;
  }

  void CloseAccepted() {
    if (accepted_ != INVALID_SOCKET) {
      closesocket(accepted_);
    }
    accepted_ = INVALID_SOCKET;
  }

 private:
  static bool Readable(SOCKET s) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval timeout = {5, 0};
    return select(0, &set, nullptr, nullptr, &timeout) > 0;
  }

  bool started_ = false;
  SOCKET listener_ = INVALID_SOCKET;
  SOCKET accepted_ = INVALID_SOCKET;
  std::uint16_t port_ = 0;
};

// Reads what has arrived into the splitter; false at the end of the stream.
bool ReadInto(Connection* connection, RecordSplitter* splitter) {
  Bytes arrived;
  const bool open = connection->ReadAvailable(&arrived, 1 << 20);
  splitter->Append(arrived.data(), arrived.size());
  return open;
}

// Reads until the splitter holds a whole record, with a 5 s safety bound:
// the record's bytes, or none if the stream ends or none comes.
Bytes NextRecord(Connection* connection, RecordSplitter* splitter) {
  vantilo_net::AlignedRecord record;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (std::chrono::steady_clock::now() < deadline) {
    if (!ReadInto(connection, splitter)) {
      return {};
    }
    if (splitter->Next(&record) == RecordSplitter::Status::kRecord) {
      return Bytes(record.Bytes(), record.Bytes() + record.Size());
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return {};
}

TEST(WinsockConnection, SendsAndReadsWithoutWaitingThenSeesTheEndOfStream) {
  LoopbackListener listener;
  ASSERT_NE(listener.port(), 0);
  Connection connection;
  std::string problem;
  ASSERT_TRUE(connection.Connect(listener.Settings(), &problem)) << problem;
  ASSERT_TRUE(listener.Accept());
  EXPECT_TRUE(connection.IsOpen());
  // Keepalive is on (Wine 8 gives SO_KEEPALIVE back in one byte; TCP_MAXRT
  // and TCP_KEEPCNT it neither takes nor gives back).
  char keepalive[4] = {0, 0, 0, 0};
  int length = sizeof keepalive;
  ASSERT_EQ(getsockopt(static_cast<SOCKET>(connection.socket()), SOL_SOCKET, SO_KEEPALIVE,
                       keepalive, &length),
            0);
  EXPECT_NE(keepalive[0], 0);

  // Nothing has been sent yet: the read returns at once, the link still up.
  RecordSplitter splitter;
  EXPECT_TRUE(ReadInto(&connection, &splitter));
  EXPECT_EQ(splitter.Pending(), 0u);

  const Bytes packet = {0x10, 0, 0, 0, 2, 0, 0, 0, 0x01, 0, 0, 0xF0, 7, 0, 0, 0};
  ASSERT_EQ(connection.Send(packet), SendResult::kSent);
  EXPECT_EQ(listener.Receive(packet.size()), packet);

  // A quit record and the first half of a second one.
  Bytes stream = kQuit;
  stream.insert(stream.end(), kQuit.begin(), kQuit.begin() + 6);
  ASSERT_TRUE(listener.SendBytes(stream));
  ASSERT_EQ(NextRecord(&connection, &splitter), kQuit);

  // The server closes: once its bytes are read, the read reports the end.
  listener.CloseAccepted();
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  bool open = true;
  while (open && std::chrono::steady_clock::now() < deadline) {
    open = ReadInto(&connection, &splitter);
  }
  EXPECT_FALSE(open);
  EXPECT_EQ(splitter.Pending(), 6u);

  connection.Close();
  EXPECT_FALSE(connection.IsOpen());
  EXPECT_EQ(connection.Send(packet), SendResult::kFailed);
}

TEST(WinsockConnection, RefusedConnectFailsSayingWhere) {
  LinkSettings settings;
  {
    LoopbackListener listener;  // closed again: nothing listens on its port
    settings = listener.Settings();
  }
  ASSERT_NE(settings.port, 0);
  Connection connection;
  std::string problem;
  EXPECT_FALSE(connection.Connect(settings, &problem));
  EXPECT_EQ(problem, "connect to 127.0.0.1:" + std::to_string(settings.port) +
                         ": connection refused");  // WSAECONNREFUSED
  EXPECT_FALSE(connection.IsOpen());
}

TEST(WinsockConnection, UnusableSettingsFailWithTheirProblem) {
  LinkSettings settings = vantilo_net::ParseSimConnectCfg("[SimConnect]\nProtocol=Pipe\n", 0);
  Connection connection;
  std::string problem;
  EXPECT_FALSE(connection.Connect(settings, &problem));
  EXPECT_EQ(problem, "SimConnect.cfg: Protocol=Pipe needs Port, the pipe's name");
}

TEST(WinsockConnection, SendGivesUpWhenThePeerStopsReading) {
  LoopbackListener listener;
  Connection connection;
  std::string problem;
  ASSERT_TRUE(connection.Connect(listener.Settings(), &problem)) << problem;
  ASSERT_TRUE(listener.Accept());
  // Far more than the socket buffers of both ends hold; the peer reads none.
  const Bytes flood(64u * 1024u * 1024u, 0xAB);
  std::string why;
  EXPECT_EQ(connection.Send(flood, &why), SendResult::kTimedOut);
  EXPECT_EQ(why, "timed out");
}

// A simulator's pipe with one instance and small buffers, served here: a
// read that never waits, a send that gives up on a server that stops
// reading, a busy pipe waited for, the end of a broken one.
TEST(PipeConnection, ReadsWithoutWaitingBoundsSendsWaitsWhenBusyAndSeesTheBreak) {
  const std::string name = "vantilo-test-" + std::to_string(GetCurrentProcessId());
  HANDLE server = CreateNamedPipeA(("\\\\.\\pipe\\" + name).c_str(), PIPE_ACCESS_DUPLEX,
                                   PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
  const LinkSettings settings =
      vantilo_net::ParseSimConnectCfg("[SimConnect]\nProtocol=Pipe\nPort=" + name, 0);
  Connection first;
  std::string problem;
  ASSERT_TRUE(first.Connect(settings, &problem)) << problem;
  RecordSplitter splitter;
  EXPECT_TRUE(ReadInto(&first, &splitter));  // nothing there: at once
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(server, kQuit.data(), 12, &written, nullptr));
  ASSERT_EQ(NextRecord(&first, &splitter), kQuit);
  std::string why;
  EXPECT_EQ(first.Send(Bytes(1u << 20, 0xAB), &why), SendResult::kTimedOut);
  EXPECT_EQ(why, "timed out");

  // The one instance is taken; a second open waits until the first client
  // has gone and the server serves again.
  std::thread serveAgain([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    first.Close();
    DisconnectNamedPipe(server);
    ConnectNamedPipe(server, nullptr);
  });
  Connection second;
  EXPECT_TRUE(second.Connect(settings, &problem)) << problem;
  serveAgain.join();
  CloseHandle(server);
  EXPECT_FALSE(ReadInto(&second, &splitter));
  EXPECT_EQ(second.Send(kQuit, &why), SendResult::kFailed);
}

// Runs the body in a fresh empty current folder, so only the file beside
// the program can be found.
class ProgramFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char path[MAX_PATH];
    ASSERT_GT(GetCurrentDirectoryA(MAX_PATH, path), 0u);
    saved_ = path;
    ASSERT_GT(GetTempPathA(MAX_PATH, path), 0u);
    empty_ = std::string(path) + "vantilo-empty-" + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryA(empty_.c_str(), nullptr));
    ASSERT_TRUE(SetCurrentDirectoryA(empty_.c_str()));
  }
  void TearDown() override {
    SetCurrentDirectoryA(saved_.c_str());
    RemoveDirectoryA(empty_.c_str());
  }
  std::string saved_;
  std::string empty_;
};

TEST_F(ProgramFolderTest, IsTheFolderOfThisTestProgram) {
  const std::string folder = vantilo_net::ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '\\');
  EXPECT_TRUE(std::ifstream(folder + "windows_net_tests.exe").good()) << folder;
}

TEST_F(ProgramFolderTest, SimConnectCfgBesideTheProgramIsUsed) {
  const std::string cfg = vantilo_net::ProgramFolder() + "SimConnect.cfg";
  ASSERT_FALSE(std::ifstream(cfg).good()) << cfg << " exists already";
  { std::ofstream(cfg) << "[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.2\nPort=4711\n"; }
  const LinkSettings settings = vantilo_net::LoadLinkSettings(0);
  std::remove(cfg.c_str());
  EXPECT_TRUE(settings.usable);
  EXPECT_TRUE(settings.fromFile);
  EXPECT_EQ(settings.address, "127.0.0.2");
  EXPECT_EQ(settings.port, 4711);
}

}  // namespace
