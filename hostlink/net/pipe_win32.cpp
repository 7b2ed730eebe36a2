// The client end of a simulator's named pipe, as SimConnect clients on the
// simulator's own machine use it (the bytes are those of the TCP stream).
// The handle is overlapped, so a write can be given up at its deadline; a
// read asks PeekNamedPipe first and takes only what has arrived.
#include "hostlink/net/connection_platform.h"
// After the Winsock headers, which must come first.
#include <windows.h>

namespace vantilo_net {
namespace pipes {

namespace {

HANDLE AsHandle(SocketHandle pipe) { return reinterpret_cast<HANDLE>(pipe); }

std::string PipeProblem(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return "no such pipe";
    case ERROR_PIPE_BUSY:
    case ERROR_SEM_TIMEOUT:
      return "busy: every instance of the pipe is taken";
    case ERROR_ACCESS_DENIED:
      return "access denied";
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:
    case ERROR_PIPE_NOT_CONNECTED:
      return "the pipe was closed";
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
      return "no such computer";
    default:
      return "Windows error " + std::to_string(code);
  }
}

// One overlapped read or write, waited for until the deadline and cancelled
// after it: the bytes moved, or kWouldBlock at the deadline, or kFailed.
std::ptrdiff_t Transfer(HANDLE pipe, bool write, std::uint8_t* bytes, DWORD count,
                        Clock::time_point deadline, DWORD* error) {
  OVERLAPPED overlapped;
  ZeroMemory(&overlapped, sizeof overlapped);
  overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (overlapped.hEvent == nullptr) {
    *error = GetLastError();
    return sockets::kFailed;
  }
  const BOOL started = write ? WriteFile(pipe, bytes, count, nullptr, &overlapped)
                             : ReadFile(pipe, bytes, count, nullptr, &overlapped);
  std::ptrdiff_t result = sockets::kFailed;
  *error = started ? ERROR_SUCCESS : GetLastError();
  if (started || *error == ERROR_IO_PENDING) {
    DWORD moved = 0;
    const DWORD left = static_cast<DWORD>(sockets::MillisecondsLeft(deadline));
    if (WaitForSingleObject(overlapped.hEvent, left) != WAIT_OBJECT_0) {
      CancelIoEx(pipe, &overlapped);
      // Waits for the cancel; a transfer that completed meanwhile counts.
      if (GetOverlappedResult(pipe, &overlapped, &moved, TRUE) && moved > 0) {
        result = static_cast<std::ptrdiff_t>(moved);
      } else {
        result = sockets::kWouldBlock;
      }
    } else if (GetOverlappedResult(pipe, &overlapped, &moved, FALSE)) {
      result = static_cast<std::ptrdiff_t>(moved);
    } else {
      *error = GetLastError();
    }
  }
  CloseHandle(overlapped.hEvent);
  return result;
}

}  // namespace

SocketHandle Open(const std::string& path, Clock::time_point deadline, std::string* problem,
                  bool* absent) {
  *absent = false;
  for (;;) {
    HANDLE pipe = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, nullptr);
    if (pipe != INVALID_HANDLE_VALUE) {
      return reinterpret_cast<SocketHandle>(pipe);
    }
    const DWORD error = GetLastError();
    const int left = sockets::MillisecondsLeft(deadline);
    if (error != ERROR_PIPE_BUSY || left == 0) {
      *absent = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
      *problem = PipeProblem(error);
      return kNoSocket;
    }
    // Every instance is taken: wait for one to be free, then try for it
    // again (another client may take it first).
    if (!WaitNamedPipeA(path.c_str(), static_cast<DWORD>(left)) &&
        GetLastError() != ERROR_SEM_TIMEOUT) {
      Sleep(1);
    }
  }
}

SendResult Send(SocketHandle pipe, const std::uint8_t* bytes, std::size_t count,
                Clock::time_point deadline, std::string* problem) {
  std::size_t sent = 0;
  while (sent < count) {
    DWORD error = ERROR_SUCCESS;
    const std::ptrdiff_t moved =
        Transfer(AsHandle(pipe), true, const_cast<std::uint8_t*>(bytes + sent),
                 static_cast<DWORD>(count - sent), deadline, &error);
    if (moved == sockets::kWouldBlock) {
      *problem = "timed out";
      return SendResult::kTimedOut;
    }
    if (moved <= 0) {
      *problem = PipeProblem(error);
      return SendResult::kFailed;
    }
    sent += static_cast<std::size_t>(moved);
  }
  return SendResult::kSent;
}

std::ptrdiff_t ReceiveSome(SocketHandle pipe, std::uint8_t* buffer, std::size_t capacity) {
  DWORD waiting = 0;
  if (!PeekNamedPipe(AsHandle(pipe), nullptr, 0, nullptr, &waiting, nullptr)) {
    const DWORD error = GetLastError();
    return error == ERROR_BROKEN_PIPE || error == ERROR_PIPE_NOT_CONNECTED ? 0 : sockets::kFailed;
  }
  if (waiting == 0) {
    return sockets::kWouldBlock;
  }
  const DWORD wanted = waiting < capacity ? waiting : static_cast<DWORD>(capacity);
  DWORD error = ERROR_SUCCESS;
  // What PeekNamedPipe counted is there already: the read completes at once.
  const std::ptrdiff_t received =
      Transfer(AsHandle(pipe), false, buffer, wanted, Clock::now(), &error);
  return received > 0 || received == sockets::kWouldBlock ? received : sockets::kFailed;
}

void Close(SocketHandle pipe) { CloseHandle(AsHandle(pipe)); }

}  // namespace pipes
}  // namespace vantilo_net
