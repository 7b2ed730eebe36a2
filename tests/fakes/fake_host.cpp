// The fake host's state, its SimConnect operations and Sleep, and the
// record builders. Records are handed over from a heap block of exactly the
// byte count given, so AddressSanitizer sees any read past it.
#include "tests/fakes/fake_host.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <utility>

#include "platform/platform.h"

#if defined(_WIN32)
#include <io.h>
#define FAKE_DUP _dup
#define FAKE_DUP2 _dup2
#define FAKE_CLOSE _close
#define FAKE_LSEEK _lseek
#define FAKE_READ _read
#define FAKE_FILENO _fileno
#else
#include <unistd.h>
#define FAKE_DUP dup
#define FAKE_DUP2 dup2
#define FAKE_CLOSE close
#define FAKE_LSEEK lseek
#define FAKE_READ read
#define FAKE_FILENO fileno
#endif

namespace fake {
namespace {

struct Pending {
  std::vector<std::uint8_t> bytes;
  DWORD cbData;
};

// Standard output redirected into a temporary file; taken is how much of
// the file the timeline holds already.
struct Console {
  std::FILE* file = nullptr;
  int savedStdout = -1;
  long taken = 0;
  std::string text;
};

struct State {
  std::vector<Call> calls;
  std::vector<std::string> timeline;
  Console console;
  std::deque<Pending> pending;
  std::function<void(int)> hook;
  Delivery delivery = Delivery::OnePerCall;
  HRESULT openResult = 0;
  std::uint64_t clockMs = 0;
  int dispatchCalls = 0;
};

State& S() {
  static State state;
  return state;
}

int handleTag;  // its address is the handle the fake gives out

std::string Str(const char* text) {
  if (text == nullptr) {
    return "null";
  }
  return std::string("\"") + text + "\"";
}

std::string Num(std::uint64_t value) { return std::to_string(value); }

// Nine significant digits give back every float's exact value.
std::string Flt(float value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
  return text;
}

// Moves what the program printed since the last look into the timeline.
void TakeConsole() {
  Console& console = S().console;
  if (console.file == nullptr) {
    return;
  }
  std::fflush(stdout);
  int fd = FAKE_FILENO(console.file);
  long end = static_cast<long>(FAKE_LSEEK(fd, 0, SEEK_END));
  if (end <= console.taken) {
    return;
  }
  std::string chunk(static_cast<std::size_t>(end - console.taken), '\0');
  FAKE_LSEEK(fd, console.taken, SEEK_SET);
  long got = static_cast<long>(FAKE_READ(fd, &chunk[0], static_cast<unsigned>(chunk.size())));
  chunk.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  FAKE_LSEEK(fd, 0, SEEK_END);  // the program's next write goes after it
  console.taken = end;
  console.text += chunk;
  S().timeline.push_back("stdout: " + chunk);
}

// Records a call as the golden file writes it: the name, then each
// argument after a blank; an empty one (the fake's own handle, or the
// open's place for it) is left out.
HRESULT Record(const char* name, std::initializer_list<std::string> args,
               std::vector<float> floats = {}) {
  TakeConsole();
  std::string line = name;
  for (const std::string& arg : args) {
    line += arg.empty() ? "" : " " + arg;
  }
  S().calls.push_back(Call{name, line, std::move(floats)});
  S().timeline.push_back(line);
  return 0;
}

void Put(std::vector<std::uint8_t>& bytes, std::size_t offset, const void* value, std::size_t n) {
  if (bytes.size() < offset + n) {
    bytes.resize(offset + n);
  }
  std::memcpy(bytes.data() + offset, value, n);
}

void PutDword(std::vector<std::uint8_t>& bytes, std::size_t offset, DWORD value) {
  Put(bytes, offset, &value, sizeof value);
}

void Deliver(const Pending& record, DispatchProc proc, void* context) {
  std::unique_ptr<std::uint8_t[]> block(new std::uint8_t[record.cbData]);
  std::size_t n = record.bytes.size() < record.cbData ? record.bytes.size() : record.cbData;
  std::memset(block.get(), 0, record.cbData);
  std::memcpy(block.get(), record.bytes.data(), n);
  proc(reinterpret_cast<SIMCONNECT_RECV*>(block.get()), record.cbData, context);
}

}  // namespace

void Reset() {
  if (S().console.file != nullptr) {
    ReleaseConsole();
  }
  S() = State();
}

const std::vector<std::string>& Timeline() { return S().timeline; }

void CaptureConsole() {
  Console& console = S().console;
  if (console.file != nullptr) {
    return;
  }
  std::fflush(stdout);
  console.file = std::tmpfile();
  if (console.file == nullptr) {
    std::fprintf(stderr, "fake host: no temporary file for the console\n");
    std::abort();
  }
  console.savedStdout = FAKE_DUP(1);
  FAKE_DUP2(FAKE_FILENO(console.file), 1);
  console.taken = 0;
  console.text.clear();
}

std::string ReleaseConsole() {
  Console& console = S().console;
  if (console.file == nullptr) {
    return std::string();
  }
  TakeConsole();
  std::fflush(stdout);
  FAKE_DUP2(console.savedStdout, 1);
  FAKE_CLOSE(console.savedStdout);
  std::fclose(console.file);
  console.file = nullptr;
  console.savedStdout = -1;
  return console.text;
}
const std::vector<Call>& Calls() { return S().calls; }

std::vector<std::string> CallLines() {
  std::vector<std::string> lines;
  for (const Call& call : S().calls) {
    lines.push_back(call.line);
  }
  return lines;
}

std::vector<Call> CallsNamed(const std::string& name) {
  std::vector<Call> found;
  for (const Call& call : S().calls) {
    if (call.name == name) {
      found.push_back(call);
    }
  }
  return found;
}

void SetDelivery(Delivery delivery) { S().delivery = delivery; }
void FailOpen(HRESULT result) { S().openResult = result; }
void QueueRecord(const std::vector<std::uint8_t>& bytes) {
  QueueRecord(bytes, static_cast<DWORD>(bytes.size()));
}
void QueueRecord(const std::vector<std::uint8_t>& bytes, DWORD cbData) {
  S().pending.push_back(Pending{bytes, cbData});
}
void OnDispatch(std::function<void(int)> hook) { S().hook = std::move(hook); }
std::uint64_t NowMs() { return S().clockMs; }
HANDLE Handle() { return &handleTag; }
std::string HandleText(HANDLE h) {
  if (h == Handle()) {
    return std::string();
  }
  char text[32];
  std::snprintf(text, sizeof text, "%p", h);
  return text;
}
std::uint32_t Bits(float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

std::vector<std::uint8_t> Header(DWORD size, DWORD id) {
  std::vector<std::uint8_t> bytes(size, 0);
  PutDword(bytes, 0, size);
  PutDword(bytes, 4, 2);  // protocol of the 10.0.60905 client
  PutDword(bytes, 8, id);
  return bytes;
}

std::vector<std::uint8_t> ExceptionRecord(DWORD code, DWORD sendId, DWORD index) {
  std::vector<std::uint8_t> bytes = Header(24, SIMCONNECT_RECV_ID_EXCEPTION);
  PutDword(bytes, 12, code);
  PutDword(bytes, 16, sendId);
  PutDword(bytes, 20, index);
  return bytes;
}

std::vector<std::uint8_t> OpenRecordRawName(const char (&name)[256], DWORD versionMajor) {
  std::vector<std::uint8_t> bytes = Header(308, SIMCONNECT_RECV_ID_OPEN);
  Put(bytes, 12, name, 256);
  PutDword(bytes, 268, versionMajor);
  PutDword(bytes, 276, 60905);
  PutDword(bytes, 284, 10);
  PutDword(bytes, 292, 60905);
  return bytes;
}

std::vector<std::uint8_t> OpenRecord(const std::string& name, DWORD versionMajor) {
  char field[256] = {};
  std::memcpy(field, name.data(), name.size() < 255 ? name.size() : 255);
  return OpenRecordRawName(field, versionMajor);
}

std::vector<std::uint8_t> QuitRecord() { return Header(12, SIMCONNECT_RECV_ID_QUIT); }

std::vector<std::uint8_t> EventRecord(DWORD eventId, DWORD data, DWORD groupId) {
  std::vector<std::uint8_t> bytes = Header(24, SIMCONNECT_RECV_ID_EVENT);
  PutDword(bytes, 12, groupId);
  PutDword(bytes, 16, eventId);
  PutDword(bytes, 20, data);
  return bytes;
}

std::vector<std::uint8_t> FrameRecord(float frameRate, float simSpeed) {
  std::vector<std::uint8_t> bytes = Header(32, SIMCONNECT_RECV_ID_EVENT_FRAME);
  PutDword(bytes, 12, SIMCONNECT_UNUSED);
  PutDword(bytes, 16, 3);
  Put(bytes, 24, &frameRate, sizeof frameRate);
  Put(bytes, 28, &simSpeed, sizeof simSpeed);
  return bytes;
}

std::vector<std::uint8_t> DataRecord(DWORD requestId, double pitch, double bank) {
  std::vector<std::uint8_t> bytes = Header(56, SIMCONNECT_RECV_ID_SIMOBJECT_DATA);
  PutDword(bytes, 12, requestId);
  PutDword(bytes, 16, SIMCONNECT_OBJECT_ID_USER);
  PutDword(bytes, 20, 0);  // definition
  PutDword(bytes, 28, 1);  // entry number
  PutDword(bytes, 32, 1);  // out of
  PutDword(bytes, 36, 2);  // datums
  Put(bytes, 40, &pitch, sizeof pitch);
  Put(bytes, 48, &bank, sizeof bank);
  return bytes;
}

}  // namespace fake

using fake::Flt;
using fake::HandleText;
using fake::Num;
using fake::Record;
using fake::S;
using fake::Str;

extern "C" {

HRESULT SIMCONNECT_CALL SimConnect_Open(HANDLE* phSimConnect, LPCSTR szName, HWND hWnd,
                                        DWORD UserEventWin32, HANDLE hEventHandle,
                                        DWORD ConfigIndex) {
  bool ok = S().openResult >= 0;
  if (ok && phSimConnect != nullptr) {
    *phSimConnect = fake::Handle();
  }
  Record("Open",
         {phSimConnect == nullptr ? "null" : "", Str(szName), hWnd == nullptr ? "null" : "window",
          Num(UserEventWin32), hEventHandle == nullptr ? "null" : "event", Num(ConfigIndex)});
  return S().openResult;
}

HRESULT SIMCONNECT_CALL SimConnect_Close(HANDLE hSimConnect) {
  return Record("Close", {HandleText(hSimConnect)});
}

HRESULT SIMCONNECT_CALL SimConnect_CallDispatch(HANDLE hSimConnect, DispatchProc pfcnDispatch,
                                                void* pContext) {
  fake::State& s = S();
  int number = s.dispatchCalls++;
  if (s.dispatchCalls > fake::kMaxDispatchCalls) {
    std::fprintf(stderr, "fake host: %d dispatch calls and the program has not quit\n",
                 s.dispatchCalls);
    std::abort();
  }
  Record("CallDispatch", {HandleText(hSimConnect), pfcnDispatch == nullptr ? "null" : "proc",
                          pContext == nullptr ? "null" : "context"});
  if (s.hook) {
    s.hook(number);
  }
  while (!s.pending.empty()) {
    fake::Pending record = s.pending.front();
    s.pending.pop_front();
    fake::Deliver(record, pfcnDispatch, pContext);
    if (s.delivery == fake::Delivery::OnePerCall) {
      break;
    }
  }
  return 0;
}

HRESULT SIMCONNECT_CALL SimConnect_MenuAddItem(HANDLE hSimConnect, const char* szMenuItem,
                                               SIMCONNECT_CLIENT_EVENT_ID MenuEventID,
                                               DWORD dwData) {
  return Record("MenuAddItem",
                {HandleText(hSimConnect), Str(szMenuItem), Num(MenuEventID), Num(dwData)});
}

HRESULT SIMCONNECT_CALL SimConnect_MenuAddSubItem(HANDLE hSimConnect,
                                                  SIMCONNECT_CLIENT_EVENT_ID MenuEventID,
                                                  const char* szMenuItem,
                                                  SIMCONNECT_CLIENT_EVENT_ID SubMenuEventID,
                                                  DWORD dwData) {
  return Record("MenuAddSubItem", {HandleText(hSimConnect), Num(MenuEventID), Str(szMenuItem),
                                   Num(SubMenuEventID), Num(dwData)});
}

HRESULT SIMCONNECT_CALL SimConnect_MenuDeleteItem(HANDLE hSimConnect,
                                                  SIMCONNECT_CLIENT_EVENT_ID MenuEventID) {
  return Record("MenuDeleteItem", {HandleText(hSimConnect), Num(MenuEventID)});
}

HRESULT SIMCONNECT_CALL
SimConnect_MenuDeleteSubItem(HANDLE hSimConnect, SIMCONNECT_CLIENT_EVENT_ID MenuEventID,
                             const SIMCONNECT_CLIENT_EVENT_ID SubMenuEventID) {
  return Record("MenuDeleteSubItem",
                {HandleText(hSimConnect), Num(MenuEventID), Num(SubMenuEventID)});
}

HRESULT SIMCONNECT_CALL SimConnect_MapClientEventToSimEvent(HANDLE hSimConnect,
                                                            SIMCONNECT_CLIENT_EVENT_ID EventID,
                                                            const char* EventName) {
  return Record("MapClientEventToSimEvent",
                {HandleText(hSimConnect), Num(EventID), Str(EventName)});
}

HRESULT SIMCONNECT_CALL SimConnect_MapInputEventToClientEvent(
    HANDLE hSimConnect, SIMCONNECT_INPUT_GROUP_ID GroupID, const char* szInputDefinition,
    SIMCONNECT_CLIENT_EVENT_ID DownEventID, DWORD DownValue, SIMCONNECT_CLIENT_EVENT_ID UpEventID,
    DWORD UpValue, BOOL bMaskable) {
  return Record(
      "MapInputEventToClientEvent",
      {HandleText(hSimConnect), Num(GroupID), Str(szInputDefinition), Num(DownEventID),
       Num(DownValue), Num(UpEventID), Num(UpValue), std::to_string(static_cast<int>(bMaskable))});
}

HRESULT SIMCONNECT_CALL SimConnect_AddClientEventToNotificationGroup(
    HANDLE hSimConnect, SIMCONNECT_NOTIFICATION_GROUP_ID GroupID,
    SIMCONNECT_CLIENT_EVENT_ID EventID, BOOL bMaskable) {
  return Record("AddClientEventToNotificationGroup",
                {HandleText(hSimConnect), Num(GroupID), Num(EventID),
                 std::to_string(static_cast<int>(bMaskable))});
}

HRESULT SIMCONNECT_CALL SimConnect_SetInputGroupState(HANDLE hSimConnect,
                                                      SIMCONNECT_INPUT_GROUP_ID GroupID,
                                                      DWORD dwState) {
  return Record("SetInputGroupState", {HandleText(hSimConnect), Num(GroupID), Num(dwState)});
}

HRESULT SIMCONNECT_CALL SimConnect_SubscribeToSystemEvent(HANDLE hSimConnect,
                                                          SIMCONNECT_CLIENT_EVENT_ID EventID,
                                                          const char* SystemEventName) {
  return Record("SubscribeToSystemEvent",
                {HandleText(hSimConnect), Num(EventID), Str(SystemEventName)});
}

HRESULT SIMCONNECT_CALL SimConnect_AddToDataDefinition(HANDLE hSimConnect,
                                                       SIMCONNECT_DATA_DEFINITION_ID DefineID,
                                                       const char* DatumName, const char* UnitsName,
                                                       SIMCONNECT_DATATYPE DatumType,
                                                       float fEpsilon, DWORD DatumID) {
  return Record("AddToDataDefinition",
                {HandleText(hSimConnect), Num(DefineID), Str(DatumName), Str(UnitsName),
                 Num(static_cast<DWORD>(DatumType)), Flt(fEpsilon), Num(DatumID)},
                {fEpsilon});
}

HRESULT SIMCONNECT_CALL SimConnect_RequestDataOnSimObject(
    HANDLE hSimConnect, SIMCONNECT_DATA_REQUEST_ID RequestID,
    SIMCONNECT_DATA_DEFINITION_ID DefineID, SIMCONNECT_OBJECT_ID ObjectID, SIMCONNECT_PERIOD Period,
    SIMCONNECT_DATA_REQUEST_FLAG Flags, DWORD origin, DWORD interval, DWORD limit) {
  return Record("RequestDataOnSimObject", {HandleText(hSimConnect), Num(RequestID), Num(DefineID),
                                           Num(ObjectID), Num(static_cast<DWORD>(Period)),
                                           Num(Flags), Num(origin), Num(interval), Num(limit)});
}

HRESULT SIMCONNECT_CALL SimConnect_CameraSetRelative6DOF(HANDLE hSimConnect, float fDeltaX,
                                                         float fDeltaY, float fDeltaZ,
                                                         float fPitchDeg, float fBankDeg,
                                                         float fHeadingDeg) {
  return Record("CameraSetRelative6DOF",
                {HandleText(hSimConnect), Flt(fDeltaX), Flt(fDeltaY), Flt(fDeltaZ), Flt(fPitchDeg),
                 Flt(fBankDeg), Flt(fHeadingDeg)},
                {fDeltaX, fDeltaY, fDeltaZ, fPitchDeg, fBankDeg, fHeadingDeg});
}

}  // extern "C"

namespace {

// The virtual clock's Sleep: recorded, and it costs no real time.
void VirtualSleep(DWORD dwMilliseconds) {
  Record("Sleep", {Num(dwMilliseconds)});
  S().clockMs += dwMilliseconds;
}

}  // namespace

#if defined(_WIN32)
// The program calls Sleep as windows.h declares it: through kernel32's
// import pointer. Defining that pointer here makes the linker take it from
// the fake instead of kernel32's import library, with the program's code
// unchanged. Every Sleep in the test process comes here; the test programs
// run one thread, so only the program sleeps.
#if !defined(__GNUC__)
#error "the fake's Sleep needs GCC's asm labels to name kernel32's import pointer"
#endif
#if defined(_WIN64)
#define FAKE_SLEEP_IMPORT "__imp_Sleep"
#else
#define FAKE_SLEEP_IMPORT "__imp__Sleep@4"
#endif
namespace {
void WINAPI SleepThroughImport(DWORD dwMilliseconds) { VirtualSleep(dwMilliseconds); }
}  // namespace
extern "C" {
extern void(WINAPI* fakeSleepImport)(DWORD) __asm__(FAKE_SLEEP_IMPORT);
void(WINAPI* fakeSleepImport)(DWORD) = SleepThroughImport;
}
#else
// The whole platform peer: Sleep on the virtual clock, and no timer request.
extern "C" void Sleep(DWORD dwMilliseconds) { VirtualSleep(dwMilliseconds); }
void BeginFineTimer() {}
void EndFineTimer() {}
#endif
