// The records the stand-in sends to its clients, built byte by byte in the
// published layouts (12-byte header: size, the client's protocol number,
// record id). Pure functions; the session decides what to send and when.
#ifndef VANTILO_STANDIN_RECORDS_H
#define VANTILO_STANDIN_RECORDS_H

#include <cstdint>
#include <string>
#include <vector>

#include "hostlink/simconnect.h"
#include "standin/bytes.h"

namespace standin {

// Exception codes the stand-in raises that hostlink/simconnect.h does not name.
const std::uint32_t kExceptionTooManyEventNames = 8;
const std::uint32_t kExceptionTooManyMaps = 10;
const std::uint32_t kExceptionTooManyRequests = 12;
const std::uint32_t kExceptionInvalidDataType = 18;
const std::uint32_t kExceptionInvalidEnum = 27;
const std::uint32_t kUnknownIndex = 0xFFFFFFFFu;
const std::uint32_t kUnknownGroup = 0xFFFFFFFFu;
// The object id the stand-in gives the user's aircraft in data records.
const std::uint32_t kUserObjectId = 1;

// What the OPEN record reports about the stand-in.
const char kApplicationName[] = "Vantilo Stand-in";
const std::uint32_t kApplicationVersionMajor = 10;
const std::uint32_t kApplicationVersionMinor = 0;
const std::uint32_t kApplicationBuildMajor = 61637;
const std::uint32_t kApplicationBuildMinor = 0;

// The SimConnect build that goes with each accepted protocol (2, 3, 4).
std::uint32_t SimConnectBuildFor(std::uint32_t protocol);

Bytes OpenRecord(std::uint32_t protocol);
Bytes ExceptionRecord(std::uint32_t protocol, std::uint32_t code, std::uint32_t sendId,
                      std::uint32_t index);
Bytes QuitRecord(std::uint32_t protocol);
Bytes EventRecord(std::uint32_t protocol, std::uint32_t groupId, std::uint32_t eventId,
                  std::uint32_t data);
Bytes FrameRecord(std::uint32_t protocol, std::uint32_t eventId, float frameRate, float simSpeed);
// One object, untagged: the datums packed in definition order after offset 40.
Bytes ObjectDataRecord(std::uint32_t protocol, std::uint32_t requestId, std::uint32_t defineId,
                       const std::vector<double>& values);

// "NAME_UNRECOGNIZED" and so on; "EXCEPTION_<n>" for codes without a name here.
std::string ExceptionName(std::uint32_t code);

}  // namespace standin

#endif
