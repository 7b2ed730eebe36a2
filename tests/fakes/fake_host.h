// The in-process fake host shared by the program's tests. It implements
// every SimConnect operation the program calls and Sleep: it records each
// call with all its arguments in the golden file's line format, delivers
// scripted records through SimConnect_CallDispatch, can fail the open, and
// keeps a virtual clock.
#ifndef VANTILO_TESTS_FAKES_FAKE_HOST_H
#define VANTILO_TESTS_FAKES_FAKE_HOST_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "hostlink/simconnect.h"

namespace fake {

using Bytes = std::vector<std::uint8_t>;

// One recorded call, its line as tests/program/registration.txt writes it:
// the name without SimConnect_, then the arguments after the handle (left
// out when it is the one the open gave out), texts in quotes, floats to nine
// significant digits, which give back their exact value: MenuAddSubItem 19
// "Pause" 21 12345, CameraSetRelative6DOF 0 0 0 8 0 -28.648735.
struct Call {
  std::string name;  // "MenuAddSubItem", "Sleep"
  std::string line;
  std::vector<float> floats;  // the float arguments, in order, bits intact
};

enum class Delivery { OnePerCall, AllPerCall };

// Back to a fresh host: no calls, no records, clock at 0, open succeeds,
// one record per dispatch call.
void Reset();

// Every call so far, in order, and their lines.
const std::vector<Call>& Calls();
std::vector<std::string> CallLines();
std::vector<Call> CallsNamed(const std::string& name);

// One timeline of console text and host calls, in the order they happened:
// each call's line, and "stdout: TEXT" for what the program printed since
// the entry before. Console text is taken only while it is captured.
const std::vector<std::string>& Timeline();

// Sends standard output into the fake (until ReleaseConsole), so that what
// the program prints takes its place in the timeline between host calls.
void CaptureConsole();
// Restores standard output; returns all text printed while it was captured.
std::string ReleaseConsole();

void SetDelivery(Delivery delivery);
void FailOpen(HRESULT result);

// Queues a record for a later SimConnect_CallDispatch.
void QueueRecord(const Bytes& bytes);

// Runs at the start of every SimConnect_CallDispatch with its 0-based
// number, before records are delivered; lets a test queue records at a
// given pass of the loop.
void OnDispatch(std::function<void(int)> hook);

std::uint64_t NowMs();
HANDLE Handle();
// A handle as the lines show it: nothing for Handle(), else its address.
std::string HandleText(HANDLE h);

// A test whose program never quits would loop forever: the fake stops the
// process with a message after this many dispatch calls in one test.
const int kMaxDispatchCalls = 100000;

// Record builders, bytes as the host lays them out.
Bytes ExceptionRecord(DWORD code, DWORD sendId = 0, DWORD index = 0);
Bytes OpenRecord(const std::string& name, DWORD versionMajor);
Bytes OpenRecordRawName(const char (&name)[256], DWORD versionMajor);
Bytes QuitRecord();
Bytes EventRecord(DWORD eventId, DWORD data = 0, DWORD groupId = 0);
Bytes FrameRecord(float frameRate, float simSpeed);
Bytes DataRecord(DWORD requestId, double pitch, double bank);

std::uint32_t Bits(float value);

}  // namespace fake

#endif
