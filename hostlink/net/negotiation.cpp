// The records that decide a connection's protocol, read field by field in
// little-endian order.
#include "hostlink/net/negotiation.h"

#include "hostlink/net/reassembly.h"
#include "hostlink/net/wire.h"
#include "hostlink/simconnect.h"

namespace vantilo_net {

namespace {

// An EXCEPTION record: the header, then the code, the send id, the index.
const std::size_t kExceptionBytes = wire::kRecordHeaderBytes + 12;

struct QuietSimulator {
  const char* name;  // as its OPEN record gives it
  const char* product;
};

// Public reports say MSFS 2020 gives add-ons no control of the camera
// through SimConnect, and MSFS 2024 has a camera API of its own; neither is
// known to move the view for CameraSetRelative6DOF.
const QuietSimulator kQuietSimulators[] = {
    {"KittyHawk", "Microsoft Flight Simulator 2020"},
    {"SunRise", "Microsoft Flight Simulator 2024"},
};

}  // namespace

bool RefusesOpen(const std::uint8_t* record, std::size_t size, std::uint32_t openSendId) {
  return size >= kExceptionBytes && ReadU32(record + 8) == SIMCONNECT_RECV_ID_EXCEPTION &&
         ReadU32(record + 12) == SIMCONNECT_EXCEPTION_VERSION_MISMATCH &&
         ReadU32(record + 16) == openSendId;
}

std::string CameraNote(const std::uint8_t* record, std::size_t size) {
  const std::size_t nameEnd = wire::kRecordHeaderBytes + wire::kTextFieldBytes;
  if (size < nameEnd || ReadU32(record + 8) != SIMCONNECT_RECV_ID_OPEN) {
    return std::string();
  }
  const char* field = reinterpret_cast<const char*>(record + wire::kRecordHeaderBytes);
  std::size_t length = 0;
  while (length < wire::kTextFieldBytes && field[length] != '\0') {
    ++length;
  }
  const std::string name(field, length);
  for (const QuietSimulator& quiet : kQuietSimulators) {
    if (name == quiet.name) {
      return "note: " + name + " (" + quiet.product +
             ") is reported to ignore SimConnect camera commands; the view may not move";
    }
  }
  return std::string();
}

}  // namespace vantilo_net
