// A test tool, not shipped: serves a named pipe as a simulator does and
// relays each client's bytes to a TCP port (the Linux stand-in's) and back,
// so that vantilo-direct.exe under Wine flies a scenario through a pipe.
// One pipe instance, serving one client at a time: a client that used up
// an instance to look for the pipe and then opened it again would find it
// busy until the open's bound. Prints "relaying" once the pipe exists and
// runs until it is killed.
// Usage: pipe_relay NAME PORT   (the pipe \\.\pipe\NAME, the port on 127.0.0.1)
#include <winsock2.h>
// After winsock2.h, which must come first.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Writes all bytes to the pipe; false when the client has gone.
bool WriteAll(HANDLE pipe, const char* bytes, DWORD count) {
  while (count > 0) {
    DWORD written = 0;
    if (!WriteFile(pipe, bytes, count, &written, nullptr)) {
      return false;
    }
    bytes += written;
    count -= written;
  }
  return true;
}

bool SendAll(SOCKET socket, const char* bytes, int count) {
  while (count > 0) {
    const int sent = send(socket, bytes, count, 0);
    if (sent <= 0) {
      return false;
    }
    bytes += sent;
    count -= sent;
  }
  return true;
}

// Moves bytes both ways until either side ends; a millisecond's wait on the
// socket when neither had anything.
void Relay(HANDLE pipe, SOCKET socket) {
  char buffer[64 * 1024];
  for (;;) {
    DWORD waiting = 0;
    if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &waiting, nullptr)) {
      return;  // the client closed its end
    }
    if (waiting > 0) {
      DWORD read = 0;
      const DWORD wanted = waiting < sizeof buffer ? waiting : sizeof buffer;
      if (!ReadFile(pipe, buffer, wanted, &read, nullptr) ||
          !SendAll(socket, buffer, static_cast<int>(read))) {
        return;
      }
    }
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket, &readable);
    timeval wait = {0, waiting > 0 ? 0 : 1000};
    if (select(0, &readable, nullptr, nullptr, &wait) > 0) {
      const int received = recv(socket, buffer, sizeof buffer, 0);
      if (received <= 0 || !WriteAll(pipe, buffer, static_cast<DWORD>(received))) {
        FlushFileBuffers(pipe);  // the client reads what came before the end
        return;
      }
    }
  }
}

SOCKET ConnectToPort(unsigned short port) {
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  if (s != INVALID_SOCKET &&
      connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    closesocket(s);
    return INVALID_SOCKET;
  }
  return s;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: pipe_relay NAME PORT\n");
    return 2;
  }
  const std::string path = std::string("\\\\.\\pipe\\") + argv[1];
  const unsigned short port = static_cast<unsigned short>(std::atoi(argv[2]));
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
    std::fprintf(stderr, "pipe_relay: no Winsock\n");
    return 1;
  }
  HANDLE pipe = CreateNamedPipeA(path.c_str(), PIPE_ACCESS_DUPLEX,
                                 PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 64 * 1024,
                                 64 * 1024, 0, nullptr);
  if (pipe == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "pipe_relay: cannot make %s (error %lu)\n", path.c_str(),
                 static_cast<unsigned long>(GetLastError()));
    return 1;
  }
  std::printf("relaying %s to 127.0.0.1:%u\n", path.c_str(), port);
  std::fflush(stdout);
  for (int client = 1;; ++client) {
    if (!ConnectNamedPipe(pipe, nullptr) && GetLastError() != ERROR_PIPE_CONNECTED) {
      std::fprintf(stderr, "pipe_relay: ConnectNamedPipe failed (error %lu)\n",
                   static_cast<unsigned long>(GetLastError()));
      return 1;
    }
    SOCKET socket = ConnectToPort(port);
    if (socket != INVALID_SOCKET) {
      Relay(pipe, socket);
      closesocket(socket);
    }
    std::printf("client %d gone\n", client);
    std::fflush(stdout);
    DisconnectNamedPipe(pipe);
  }
}
