// The records the stand-in sends to its clients, built byte by byte in the
// published layouts (12-byte header: size, a protocol number, record id). Pure functions; the
// session decides what to send and when.
#ifndef VANTILO_STANDIN_WIRE_RECORDS_H
#define VANTILO_STANDIN_WIRE_RECORDS_H

#include <cstdint>
#include <string>
#include <vector>

#include "hostlink/simconnect.h"
#include "standin/wire/bytes.h"

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

// What the OPEN record reports about the simulator.
struct OpenFields {
  std::string applicationName;
  std::uint32_t applicationVersionMajor = 0;
  std::uint32_t applicationVersionMinor = 0;
  std::uint32_t applicationBuildMajor = 0;
  std::uint32_t applicationBuildMinor = 0;
  std::uint32_t simConnectVersionMajor = 0;
  std::uint32_t simConnectVersionMinor = 0;
  std::uint32_t simConnectBuildMajor = 0;
  std::uint32_t simConnectBuildMinor = 0;
};

// The SimConnect build that goes with each of FSX's protocols (2, 3, 4).
std::uint32_t SimConnectBuildFor(std::uint32_t protocol);

Bytes OpenRecord(std::uint32_t protocol, const OpenFields& fields);
// The OPEN record of the stand-in's default persona, "fsx".
Bytes OpenRecord(std::uint32_t protocol);
Bytes ExceptionRecord(std::uint32_t protocol, std::uint32_t code, std::uint32_t sendId,
                      std::uint32_t index);
Bytes QuitRecord(std::uint32_t protocol);
// 24 bytes; 28 with flagsWord, a flags word (0) after dwData.
Bytes EventRecord(std::uint32_t protocol, std::uint32_t groupId, std::uint32_t eventId,
                  std::uint32_t data, bool flagsWord = false);
Bytes FrameRecord(std::uint32_t protocol, std::uint32_t eventId, float frameRate, float simSpeed);
// One object, untagged: the datums packed in definition order after offset 40.
Bytes ObjectDataRecord(std::uint32_t protocol, std::uint32_t requestId, std::uint32_t defineId,
                       const std::vector<double>& values);

// "NAME_UNRECOGNIZED" and so on; "EXCEPTION_<n>" for codes without a name here.
std::string ExceptionName(std::uint32_t code);

}  // namespace standin

#endif
