// Test tool, not shipped: serves \\.\pipe\NAME as a simulator does, with one
// instance (a client that used one up to look for the pipe would find it
// busy), and relays each client in turn to 127.0.0.1:PORT. Prints
// "relaying" once the pipe exists; runs until killed.
// Usage: pipe_relay NAME PORT
#include <winsock2.h>
// After winsock2.h, which must come first.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char* argv[]) {
  WSADATA data;
  if (argc != 3 || WSAStartup(MAKEWORD(2, 2), &data) != 0) {
    return 2;
  }
  HANDLE pipe =
      CreateNamedPipeA((std::string("\\\\.\\pipe\\") + argv[1]).c_str(), PIPE_ACCESS_DUPLEX,
                       PIPE_TYPE_BYTE | PIPE_WAIT, 1, 65536, 65536, 0, nullptr);
  if (pipe == INVALID_HANDLE_VALUE) {
    return 1;
  }
  std::printf("relaying\n");
  std::fflush(stdout);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<u_short>(std::atoi(argv[2])));
  char buffer[65536];
  for (;;) {
    ConnectNamedPipe(pipe, nullptr);  // or the client came first: ERROR_PIPE_CONNECTED
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    bool open = connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    // One thread, both ways: what the pipe holds, then a millisecond's wait on the socket.
    while (open) {
      DWORD waiting = 0;
      DWORD moved = 0;
      open = PeekNamedPipe(pipe, nullptr, 0, nullptr, &waiting, nullptr) &&
             (waiting == 0 ||
              (ReadFile(pipe, buffer, waiting < sizeof buffer ? waiting : sizeof buffer, &moved,
                        nullptr) &&
               send(s, buffer, static_cast<int>(moved), 0) == static_cast<int>(moved)));
      fd_set readable;
      FD_ZERO(&readable);
      FD_SET(s, &readable);
      timeval wait = {0, 1000};
      if (open && select(0, &readable, nullptr, nullptr, &wait) > 0) {
        const int received = recv(s, buffer, sizeof buffer, 0);
        open = received > 0 && WriteFile(pipe, buffer, static_cast<DWORD>(received), &moved,
                                         nullptr);  // the pipe takes all: it is blocking
      }
    }
    FlushFileBuffers(pipe);  // the client reads what came before the end
    closesocket(s);
    DisconnectNamedPipe(pipe);
  }
}
