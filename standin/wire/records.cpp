// Record builders: each writes the 12-byte header with a placeholder size,
// appends the fields in order, then patches the size to the final length.
#include "standin/wire/records.h"

#include "hostlink/net/wire.h"
#include "standin/wire/persona.h"

// The wire's sizes agree with the record structs a client reads.
static_assert(sizeof(SIMCONNECT_RECV) == wire::kRecordHeaderBytes, "the header Header writes");
static_assert(sizeof(SIMCONNECT_RECV_OPEN::szApplicationName) == wire::kTextFieldBytes,
              "OPEN's name field");
static_assert(sizeof(SIMCONNECT_RECV_SIMOBJECT_DATA) == wire::kObjectDataHeaderBytes + 4,
              "SIMOBJECT_DATA's data block starts at dwData");

namespace standin {

namespace {

Bytes Header(std::uint32_t protocol, std::uint32_t recordId) {
  Bytes out;
  out.reserve(64);  // room for every record but OPEN and large data, grown once
  PutU32(out, 0);   // size, patched by Finish
  PutU32(out, protocol);
  PutU32(out, recordId);
  return out;
}

Bytes Finish(Bytes record) {
  SetU32(record, 0, static_cast<std::uint32_t>(record.size()));
  return record;
}

}  // namespace

std::uint32_t SimConnectBuildFor(std::uint32_t protocol) {
  switch (protocol) {
    case 2:
      return 60905;
    case 3:
      return 61355;
    default:
      return 61259;
  }
}

Bytes OpenRecord(std::uint32_t protocol, const OpenFields& fields) {
  Bytes out = Header(protocol, SIMCONNECT_RECV_ID_OPEN);
  PutText(out, fields.applicationName, wire::kTextFieldBytes);
  PutU32(out, fields.applicationVersionMajor);
  PutU32(out, fields.applicationVersionMinor);
  PutU32(out, fields.applicationBuildMajor);
  PutU32(out, fields.applicationBuildMinor);
  PutU32(out, fields.simConnectVersionMajor);
  PutU32(out, fields.simConnectVersionMinor);
  PutU32(out, fields.simConnectBuildMajor);
  PutU32(out, fields.simConnectBuildMinor);
  PutU32(out, 0);  // reserved
  PutU32(out, 0);
  return Finish(out);
}

Bytes OpenRecord(std::uint32_t protocol) {
  return OpenRecord(protocol, OpenFieldsFor(DefaultPersona(), protocol));
}

Bytes ExceptionRecord(std::uint32_t protocol, std::uint32_t code, std::uint32_t sendId,
                      std::uint32_t index) {
  Bytes out = Header(protocol, SIMCONNECT_RECV_ID_EXCEPTION);
  PutU32(out, code);
  PutU32(out, sendId);
  PutU32(out, index);
  return Finish(out);
}

Bytes QuitRecord(std::uint32_t protocol) {
  return Finish(Header(protocol, SIMCONNECT_RECV_ID_QUIT));
}

Bytes EventRecord(std::uint32_t protocol, std::uint32_t groupId, std::uint32_t eventId,
                  std::uint32_t data, bool flagsWord) {
  Bytes out = Header(protocol, SIMCONNECT_RECV_ID_EVENT);
  PutU32(out, groupId);
  PutU32(out, eventId);
  PutU32(out, data);
  if (flagsWord) {
    PutU32(out, 0);
  }
  return Finish(out);
}

Bytes FrameRecord(std::uint32_t protocol, std::uint32_t eventId, float frameRate, float simSpeed) {
  Bytes out = Header(protocol, SIMCONNECT_RECV_ID_EVENT_FRAME);
  PutU32(out, kUnknownGroup);
  PutU32(out, eventId);
  PutU32(out, 0);
  PutF32(out, frameRate);
  PutF32(out, simSpeed);
  return Finish(out);
}

Bytes ObjectDataRecord(std::uint32_t protocol, std::uint32_t requestId, std::uint32_t defineId,
                       const std::vector<double>& values) {
  Bytes out = Header(protocol, SIMCONNECT_RECV_ID_SIMOBJECT_DATA);
  PutU32(out, requestId);
  PutU32(out, kUserObjectId);
  PutU32(out, defineId);
  PutU32(out, 0);  // flags
  PutU32(out, 1);  // entry number
  PutU32(out, 1);  // out of
  PutU32(out, static_cast<std::uint32_t>(values.size()));
  for (double value : values) {
    PutF64(out, value);
  }
  return Finish(out);
}

std::string ExceptionName(std::uint32_t code) {
  switch (code) {
    case SIMCONNECT_EXCEPTION_ERROR:
      return "ERROR";
    case SIMCONNECT_EXCEPTION_SIZE_MISMATCH:
      return "SIZE_MISMATCH";
    case SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID:
      return "UNRECOGNIZED_ID";
    case SIMCONNECT_EXCEPTION_UNOPENED:
      return "UNOPENED";
    case SIMCONNECT_EXCEPTION_VERSION_MISMATCH:
      return "VERSION_MISMATCH";
    case SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED:
      return "NAME_UNRECOGNIZED";
    case SIMCONNECT_EXCEPTION_EVENT_ID_DUPLICATE:
      return "EVENT_ID_DUPLICATE";
    case kExceptionTooManyEventNames:
      return "TOO_MANY_EVENT_NAMES";
    case kExceptionTooManyMaps:
      return "TOO_MANY_MAPS";
    case kExceptionTooManyRequests:
      return "TOO_MANY_REQUESTS";
    case kExceptionInvalidDataType:
      return "INVALID_DATA_TYPE";
    case kExceptionInvalidEnum:
      return "INVALID_ENUM";
    case SIMCONNECT_EXCEPTION_DUPLICATE_ID:
      return "DUPLICATE_ID";
    default:
      return "EXCEPTION_" + std::to_string(code);
  }
}

}  // namespace standin
