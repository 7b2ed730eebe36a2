// CameraDispatch: a switch over the record kind, with a nested switch over
// the event identifier. Every record is checked against its byte count
// before a field is read, since a host may hand over a short record. Reports
// are flushed at once: standard output may be a pipe or a file.
#include "control/camera_controller.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "control/identifiers.h"

ControllerState controllerState = {true, false, false, 0};

namespace {

const double kBankFactor = -180.0;
const double kDivisor = static_cast<double>(3.1415f);  // not pi, on purpose
const float kCameraPitch = 8.0f;
const std::int32_t kReengageThreshold = 3;
// Angles below this magnitude narrow to a finite float: it lies halfway
// between the largest float and 2^128, where rounding turns to infinity.
const double kNarrowableBelow = 0x1.ffffffp+127;

// Bytes a record must hold for the fields its kind reads, from the record
// layouts that hostlink/simconnect.h pins.
const DWORD kHeaderBytes = 12;     // dwSize, dwVersion, dwID
const DWORD kExceptionBytes = 16;  // through dwException
const DWORD kOpenBytes = 272;      // through dwApplicationVersionMajor
const DWORD kEventBytes = 24;      // through dwData
const DWORD kRequestIdBytes = 16;  // through dwRequestID
const DWORD kDataBlockOffset = 40;
const DWORD kAttitudeBytes = kDataBlockOffset + sizeof(AttitudeRecord);
const int kNameBytes = 256;  // the open record's szApplicationName field
static_assert(sizeof(SIMCONNECT_RECV_OPEN::szApplicationName) == kNameBytes, "name field");

// Bytes of the well-formed UTF-8 sequence that starts at text[at] and ends
// before text[end]; 0 when none does (ASCII is not counted here).
// The stand-in has its own, Utf8SequenceAt in standin/wire/bytes.cpp: it links no program code.
int Utf8SequenceBytes(const unsigned char* text, int at, int end) {
  const unsigned char lead = text[at];
  int count = 0;
  unsigned char low = 0x80;  // the second byte's range, narrower after some leads
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    count = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    count = 3;
    low = lead == 0xE0 ? 0xA0 : 0x80;   // no overlong forms
    high = lead == 0xED ? 0x9F : 0xBF;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    count = 4;
    low = lead == 0xF0 ? 0x90 : 0x80;
    high = lead == 0xF4 ? 0x8F : 0xBF;  // nothing above U+10FFFF
  }
  if (count == 0 || end - at < count || text[at + 1] < low || text[at + 1] > high) {
    return 0;
  }
  for (int i = 2; i < count; ++i) {
    if (text[at + i] < 0x80 || text[at + i] > 0xBF) {
      return 0;
    }
  }
  return count;
}

// Copies the host's application name up to its NUL or the end of its field,
// with each control character as one '?': C0 and DEL, and C1 (U+0080 to
// U+009F) in its UTF-8 form or as a byte 0x80-0x9F of no UTF-8 sequence. A
// hostile host must not drive the terminal (set its title, write the
// clipboard) through the name. Other bytes are copied as they are, so the
// copy is never longer than the field.
void CopyPrintableName(const char* field, char (&name)[kNameBytes + 1]) {
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(field);
  int end = 0;
  while (end < kNameBytes && bytes[end] != 0) {
    ++end;
  }
  int length = 0;
  int at = 0;
  while (at < end) {
    const unsigned char byte = bytes[at];
    const int sequence = byte >= 0xC2 ? Utf8SequenceBytes(bytes, at, end) : 0;
    if (byte < 0x20 || byte == 0x7F || (byte >= 0x80 && byte <= 0x9F)) {
      name[length++] = '?';  // 0x80-0x9F here starts no sequence: those are taken whole
      at += 1;
    } else if (sequence == 2 && byte == 0xC2 && bytes[at + 1] <= 0x9F) {
      name[length++] = '?';  // C1 in UTF-8
      at += 2;
    } else if (sequence > 0) {
      std::memcpy(name + length, field + at, static_cast<std::size_t>(sequence));
      length += sequence;
      at += sequence;
    } else {
      name[length++] = field[at++];
    }
  }
  name[length] = '\0';
}

void HandleEvent(const SIMCONNECT_RECV_EVENT* evt) {
  switch (evt->uEventID) {
    case EVENT_SIM_PAUSE:
      break;  // the simulator's own pause does not affect the camera
    case EVENT_VIEW:
      controllerState.active = (evt->dwData == SIMCONNECT_VIEW_SYSTEM_EVENT_DATA_COCKPIT_VIRTUAL);
      break;
    case EVENT_1SEC:
      controllerState.secondsSinceHat++;
      if (controllerState.secondsSinceHat > kReengageThreshold) {
        controllerState.active = true;
      }
      break;
    case EVENT_POV:
      controllerState.active = false;
      controllerState.secondsSinceHat = 0;
      break;
    case EVENT_MENU_EXIT:
      controllerState.quitRequested = true;
      break;
    case EVENT_MENU_PAUSE:
      controllerState.paused = !controllerState.paused;
      break;
    default:
      break;
  }
}

void HandleAttitude(const SIMCONNECT_RECV_SIMOBJECT_DATA* data) {
  // The data block may sit at any alignment: copy it out, never cast to it.
  AttitudeRecord attitude;
  const unsigned char* block = reinterpret_cast<const unsigned char*>(data) + kDataBlockOffset;
  std::memcpy(&attitude, block, sizeof attitude);
  double angle = (attitude.bank * kBankFactor) / kDivisor;
  // An angle that is not a number or that no float holds (narrowing it would
  // be undefined) is no heading: nothing is sent for this record.
  if (controllerState.active && !controllerState.paused && std::fabs(angle) < kNarrowableBelow) {
    SimConnect_CameraSetRelative6DOF(hSimConnect, 0.0f, 0.0f, 0.0f, kCameraPitch, 0.0f,
                                     static_cast<float>(angle));
  }
}

}  // namespace

void SIMCONNECT_CALL CameraDispatch(SIMCONNECT_RECV* pData, DWORD cbData, void* pContext) {
  (void)pContext;
  if (pData == nullptr || cbData < kHeaderBytes) {
    return;
  }
  switch (pData->dwID) {
    case SIMCONNECT_RECV_ID_EXCEPTION: {
      if (cbData < kExceptionBytes) {
        break;
      }
      const SIMCONNECT_RECV_EXCEPTION* exc = static_cast<SIMCONNECT_RECV_EXCEPTION*>(pData);
      std::printf("A SimConnect Exception occurred: Exception ID %i\n",
                  static_cast<int>(exc->dwException));
      std::fflush(stdout);
      break;
    }
    case SIMCONNECT_RECV_ID_OPEN: {
      if (cbData < kOpenBytes) {
        break;
      }
      const SIMCONNECT_RECV_OPEN* open = static_cast<SIMCONNECT_RECV_OPEN*>(pData);
      char name[kNameBytes + 1];
      CopyPrintableName(open->szApplicationName, name);
      std::printf("Now connected to %s Version %i\n", name,
                  static_cast<int>(open->dwApplicationVersionMajor));
      std::printf("Note - you must be in 'Virtual Cockpit View' to enable.\n\n");
      std::printf("Vantilo is ready!\n");
      std::fflush(stdout);
      break;
    }
    case SIMCONNECT_RECV_ID_QUIT:
      controllerState.quitRequested = true;
      break;
    case SIMCONNECT_RECV_ID_EVENT:
      if (cbData >= kEventBytes) {
        HandleEvent(static_cast<SIMCONNECT_RECV_EVENT*>(pData));
      }
      break;
    case SIMCONNECT_RECV_ID_SIMOBJECT_DATA: {
      if (cbData < kRequestIdBytes) {
        break;
      }
      const SIMCONNECT_RECV_SIMOBJECT_DATA* data =
          static_cast<SIMCONNECT_RECV_SIMOBJECT_DATA*>(pData);
      if (data->dwRequestID == REQUEST_ATTITUDE && cbData >= kAttitudeBytes) {
        HandleAttitude(data);
      }
      break;
    }
    default:
      break;
  }
}
