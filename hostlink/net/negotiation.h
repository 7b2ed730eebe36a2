// What the first record on a connection says about the protocol the link
// opened with, and what an OPEN record says about the simulator. Pure
// functions over record bytes, so tests and fuzzers need no socket.
#ifndef VANTILO_HOSTLINK_NET_NEGOTIATION_H
#define VANTILO_HOSTLINK_NET_NEGOTIATION_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace vantilo_net {

// Whether a first record refuses the Open sent with openSendId: an
// EXCEPTION VERSION_MISMATCH answering it. Any other record means the
// simulator took the Open and speaks the protocol it was sent at.
bool RefusesOpen(const std::uint8_t* record, std::size_t size, std::uint32_t openSendId);

// For an OPEN record from a simulator that is reported to ignore SimConnect
// camera commands, the line that says so; empty for any other record.
std::string CameraNote(const std::uint8_t* record, std::size_t size);

}  // namespace vantilo_net

#endif
