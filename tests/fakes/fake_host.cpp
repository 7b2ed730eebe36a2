// The fake host's state, its SimConnect operations and Sleep, and the
// record builders. Records are handed over from a heap block of exactly
// their size, so AddressSanitizer sees any read past it.
#include "tests/fakes/fake_host.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <iterator>
#include <memory>
#include <utility>

#include "platform/platform.h"

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace fake {
namespace {

// Standard output redirected into a temporary file; text is what the
// timeline holds of it already.
struct Console {
  std::FILE* file = nullptr;
  int savedStdout = -1;
  std::string text;
};

struct State {
  std::vector<Call> calls;
  std::vector<std::string> timeline;
  Console console;
  std::deque<Bytes> pending;
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
  return text == nullptr ? "null" : std::string("\"") + text + "\"";
}

std::string Num(std::uint64_t value) { return std::to_string(value); }

// Nine significant digits give back every float's exact value.
std::string Flt(float value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
  return text;
}

// Moves what the program printed since the last look into the timeline.
// The file shares its offset with standard output: it is left at the end,
// where the program's next write goes.
void TakeConsole() {
  Console& console = S().console;
  if (console.file == nullptr) {
    return;
  }
  std::fflush(stdout);
  std::fseek(console.file, 0, SEEK_END);
  const long taken = static_cast<long>(console.text.size());
  const long end = std::ftell(console.file);
  if (end <= taken) {
    return;
  }
  std::string chunk(static_cast<std::size_t>(end - taken), '\0');
  std::fseek(console.file, taken, SEEK_SET);
  chunk.resize(std::fread(&chunk[0], 1, chunk.size(), console.file));
  std::fseek(console.file, 0, SEEK_END);
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

// A record of size bytes: the header (protocol 2, that of the 10.0.60905
// client), then these words from byte 12 on, zeros after them.
Bytes Words(DWORD size, DWORD id, std::initializer_list<DWORD> words) {
  std::vector<DWORD> all = {size, 2, id};
  all.insert(all.end(), words);
  Bytes bytes(size, 0);
  std::memcpy(bytes.data(), all.data(), all.size() * sizeof(DWORD));
  return bytes;
}

// The virtual clock's Sleep: recorded, and it costs no real time.
void VirtualSleep(DWORD ms) {
  Record("Sleep", {Num(ms)});
  S().clockMs += ms;
}

}  // namespace

void Reset() {
  ReleaseConsole();
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
  console.savedStdout = dup(1);
  dup2(fileno(console.file), 1);
  console.text.clear();
}

std::string ReleaseConsole() {
  Console& console = S().console;
  if (console.file == nullptr) {
    return std::string();
  }
  TakeConsole();
  dup2(console.savedStdout, 1);
  close(console.savedStdout);
  std::fclose(console.file);
  console.file = nullptr;
  return console.text;
}
const std::vector<Call>& Calls() { return S().calls; }

std::vector<std::string> CallLines() {
  std::vector<std::string> lines(S().calls.size());
  std::transform(S().calls.begin(), S().calls.end(), lines.begin(),
                 [](const Call& call) { return call.line; });
  return lines;
}

std::vector<Call> CallsNamed(const std::string& name) {
  std::vector<Call> found;
  std::copy_if(S().calls.begin(), S().calls.end(), std::back_inserter(found),
               [&](const Call& call) { return call.name == name; });
  return found;
}

void SetDelivery(Delivery delivery) { S().delivery = delivery; }
void FailOpen(HRESULT result) { S().openResult = result; }
void QueueRecord(const Bytes& bytes) { S().pending.push_back(bytes); }
void OnDispatch(std::function<void(int)> hook) { S().hook = std::move(hook); }
std::uint64_t NowMs() { return S().clockMs; }
HANDLE Handle() { return &handleTag; }
std::string HandleText(HANDLE h) {
  char text[32] = "";
  if (h != Handle()) {
    std::snprintf(text, sizeof text, "%p", h);
  }
  return text;
}
std::uint32_t Bits(float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

Bytes ExceptionRecord(DWORD code, DWORD sendId, DWORD index) {
  return Words(24, SIMCONNECT_RECV_ID_EXCEPTION, {code, sendId, index});
}

Bytes OpenRecordRawName(const char (&name)[256], DWORD versionMajor) {
  // The name, then the application's version and build, and the client's.
  Bytes bytes = Words(308, SIMCONNECT_RECV_ID_OPEN, {});
  const DWORD versions[] = {versionMajor, 0, 60905, 0, 10, 0, 60905};
  std::memcpy(&bytes[12], name, 256);
  std::memcpy(&bytes[268], versions, sizeof versions);
  return bytes;
}

Bytes OpenRecord(const std::string& name, DWORD versionMajor) {
  char field[256] = {};
  std::memcpy(field, name.data(), name.size() < 255 ? name.size() : 255);
  return OpenRecordRawName(field, versionMajor);
}

Bytes QuitRecord() { return Words(12, SIMCONNECT_RECV_ID_QUIT, {}); }

Bytes EventRecord(DWORD eventId, DWORD data, DWORD groupId) {
  return Words(24, SIMCONNECT_RECV_ID_EVENT, {groupId, eventId, data});
}

Bytes FrameRecord(float frameRate, float simSpeed) {
  return Words(32, SIMCONNECT_RECV_ID_EVENT_FRAME,
               {SIMCONNECT_UNUSED, 3, 0, Bits(frameRate), Bits(simSpeed)});
}

// Request, object, definition 0, flags 0, entry 1 of 1, two datums.
Bytes DataRecord(DWORD requestId, double pitch, double bank) {
  Bytes bytes = Words(56, SIMCONNECT_RECV_ID_SIMOBJECT_DATA,
                      {requestId, SIMCONNECT_OBJECT_ID_USER, 0, 0, 1, 1, 2});
  std::memcpy(&bytes[40], &pitch, sizeof pitch);
  std::memcpy(&bytes[48], &bank, sizeof bank);
  return bytes;
}

}  // namespace fake

using namespace fake;

extern "C" {

// Parameters in the order the header declares them; h is the connection.
HRESULT SIMCONNECT_CALL SimConnect_Open(HANDLE* ph, LPCSTR name, HWND window, DWORD message,
                                        HANDLE event, DWORD configIndex) {
  if (S().openResult >= 0 && ph != nullptr) {
    *ph = Handle();
  }
  Record("Open", {ph == nullptr ? "null" : "", Str(name), window == nullptr ? "null" : "window",
                  Num(message), event == nullptr ? "null" : "event", Num(configIndex)});
  return S().openResult;
}

HRESULT SIMCONNECT_CALL SimConnect_Close(HANDLE h) { return Record("Close", {HandleText(h)}); }

HRESULT SIMCONNECT_CALL SimConnect_CallDispatch(HANDLE h, DispatchProc proc, void* context) {
  State& s = S();
  int number = s.dispatchCalls++;
  if (s.dispatchCalls > kMaxDispatchCalls) {
    std::fprintf(stderr, "fake host: %d dispatch calls and the program has not quit\n",
                 s.dispatchCalls);
    std::abort();
  }
  Record("CallDispatch", {HandleText(h), proc == nullptr ? "null" : "proc",
                          context == nullptr ? "null" : "context"});
  if (s.hook) {
    s.hook(number);
  }
  while (!s.pending.empty()) {
    const Bytes record = s.pending.front();
    s.pending.pop_front();
    std::unique_ptr<std::uint8_t[]> block(new std::uint8_t[record.size()]);
    std::memcpy(block.get(), record.data(), record.size());
    proc(reinterpret_cast<SIMCONNECT_RECV*>(block.get()), static_cast<DWORD>(record.size()),
         context);
    if (s.delivery == Delivery::OnePerCall) {
      break;
    }
  }
  return 0;
}

HRESULT SIMCONNECT_CALL SimConnect_MenuAddItem(HANDLE h, const char* text, DWORD id, DWORD data) {
  return Record("MenuAddItem", {HandleText(h), Str(text), Num(id), Num(data)});
}

HRESULT SIMCONNECT_CALL SimConnect_MenuAddSubItem(HANDLE h, DWORD id, const char* text, DWORD subId,
                                                  DWORD data) {
  return Record("MenuAddSubItem", {HandleText(h), Num(id), Str(text), Num(subId), Num(data)});
}

HRESULT SIMCONNECT_CALL SimConnect_MenuDeleteItem(HANDLE h, DWORD id) {
  return Record("MenuDeleteItem", {HandleText(h), Num(id)});
}

HRESULT SIMCONNECT_CALL SimConnect_MenuDeleteSubItem(HANDLE h, DWORD id, const DWORD subId) {
  return Record("MenuDeleteSubItem", {HandleText(h), Num(id), Num(subId)});
}

HRESULT SIMCONNECT_CALL SimConnect_MapClientEventToSimEvent(HANDLE h, DWORD id, const char* name) {
  return Record("MapClientEventToSimEvent", {HandleText(h), Num(id), Str(name)});
}

HRESULT SIMCONNECT_CALL SimConnect_MapInputEventToClientEvent(HANDLE h, DWORD group,
                                                              const char* input, DWORD downId,
                                                              DWORD downValue, DWORD upId,
                                                              DWORD upValue, BOOL maskable) {
  return Record("MapInputEventToClientEvent",
                {HandleText(h), Num(group), Str(input), Num(downId), Num(downValue), Num(upId),
                 Num(upValue), std::to_string(static_cast<int>(maskable))});
}

HRESULT SIMCONNECT_CALL SimConnect_AddClientEventToNotificationGroup(HANDLE h, DWORD group,
                                                                     DWORD id, BOOL maskable) {
  return Record("AddClientEventToNotificationGroup",
                {HandleText(h), Num(group), Num(id), std::to_string(static_cast<int>(maskable))});
}

HRESULT SIMCONNECT_CALL SimConnect_SetInputGroupState(HANDLE h, DWORD group, DWORD state) {
  return Record("SetInputGroupState", {HandleText(h), Num(group), Num(state)});
}

HRESULT SIMCONNECT_CALL SimConnect_SubscribeToSystemEvent(HANDLE h, DWORD id, const char* name) {
  return Record("SubscribeToSystemEvent", {HandleText(h), Num(id), Str(name)});
}

HRESULT SIMCONNECT_CALL SimConnect_AddToDataDefinition(HANDLE h, DWORD define, const char* datum,
                                                       const char* units, SIMCONNECT_DATATYPE type,
                                                       float epsilon, DWORD datumId) {
  return Record("AddToDataDefinition",
                {HandleText(h), Num(define), Str(datum), Str(units), Num(static_cast<DWORD>(type)),
                 Flt(epsilon), Num(datumId)},
                {epsilon});
}

HRESULT SIMCONNECT_CALL SimConnect_RequestDataOnSimObject(HANDLE h, DWORD request, DWORD define,
                                                          DWORD object, SIMCONNECT_PERIOD period,
                                                          DWORD flags, DWORD origin, DWORD interval,
                                                          DWORD limit) {
  return Record("RequestDataOnSimObject", {HandleText(h), Num(request), Num(define), Num(object),
                                           Num(static_cast<DWORD>(period)), Num(flags), Num(origin),
                                           Num(interval), Num(limit)});
}

HRESULT SIMCONNECT_CALL SimConnect_CameraSetRelative6DOF(HANDLE h, float x, float y, float z,
                                                         float pitch, float bank, float heading) {
  return Record("CameraSetRelative6DOF",
                {HandleText(h), Flt(x), Flt(y), Flt(z), Flt(pitch), Flt(bank), Flt(heading)},
                {x, y, z, pitch, bank, heading});
}

}  // extern "C"

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
