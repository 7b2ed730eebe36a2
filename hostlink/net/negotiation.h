// The link's protocol negotiation: which protocol a connection speaks, the
// copies of the packets sent before the simulator's first record, and what
// a refusal leads to. operations.cpp does the I/O and asks these functions
// what to do; RefusesOpen and CameraNote read record bytes and need no
// socket, for tests and fuzzers.
//
// The open speaks kProtocol. Until the simulator's first record arrives,
// every packet sent is kept, the Open first. A simulator that refuses the
// protocol (an EXCEPTION VERSION_MISMATCH for the Open, or the connection
// closed before any record) is opened again on a fresh connection at
// kFallbackProtocol, and the copies are sent there in their order with
// their send ids: the program sees neither the refusal nor a delay in its
// own calls. Refused there too, the link is lost, with one line saying what
// happened at each protocol. A corrupt stream is a lost link, refusal or not.
#ifndef VANTILO_HOSTLINK_NET_NEGOTIATION_H
#define VANTILO_HOSTLINK_NET_NEGOTIATION_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "hostlink/net/packets.h"

namespace vantilo_net {

// The Open is a connection's first packet; a refusal names it by its send id.
const std::uint32_t kOpenSendId = 1;

// How a simulator turned an Open down.
enum class Refusal { kVersionMismatch, kClosed };

enum class NegotiationState {
  kSettled,     // nothing kept, no retry: answered, closed, lost, or past the limit
  kAtProtocol,  // opened at kProtocol, no record yet: copies kept
  kAtFallback   // opened again at kFallbackProtocol, no record yet: copies kept
};

struct Negotiation {
  NegotiationState state = NegotiationState::kSettled;
  std::uint32_t protocol = kProtocol;       // what the connection speaks
  std::string name;                         // the Open's, to open again
  Refusal firstRefusal = Refusal::kClosed;  // how kProtocol was turned down
  std::vector<Bytes> kept;                  // the packets since the Open, the Open first
  std::size_t keptBytes = 0;
};

// What a record says to the negotiation.
enum class Arrival {
  kRecord,   // settled before it came: a record like any other
  kAnswer,   // the first record, and no refusal: the protocol is taken
  kRefusal,  // the Open refused: RetryAtFallback says what next
};

// At the open: starts at kProtocol, and gives the Open to send, kept.
Bytes StartNegotiation(Negotiation* negotiation, const char* name);
// At each packet after the Open, before it is sent: stamps it with the
// connection's protocol and keeps a copy while a refusal may still come.
// Past the copies' limit (the program's registration takes under 8 KiB)
// the negotiation settles, and a refusal then counts as a lost connection.
void PacketSending(Negotiation* negotiation, Bytes* packet);
// Whether no record has come on this connection while copies are kept: an
// end of the connection is then a refusal.
bool AwaitingAnswer(const Negotiation& negotiation);
// At each record arrived. An answer settles the negotiation.
Arrival RecordArrived(Negotiation* negotiation, const std::uint8_t* record, std::size_t size);
// At a refusal: true to open a fresh connection and send the copies there,
// each stamped with kFallbackProtocol, the Open encoded for it. False, and
// settled, when the fallback was refused too: *line says how, at each
// protocol.
bool RetryAtFallback(Negotiation* negotiation, Refusal refusal, std::string* line);
// When the fresh connection at kFallbackProtocol fails with problem: the
// line that says what the simulator did at kProtocol and why the retry
// failed. Settles.
std::string FallbackFailed(Negotiation* negotiation, const std::string& problem);
// Drops the copies: no retry. At a corrupt stream, a failed resend, a close.
void EndNegotiation(Negotiation* negotiation);

// Whether a first record refuses the Open sent with openSendId: an
// EXCEPTION VERSION_MISMATCH answering it. Any other record means the
// simulator took the Open and speaks the protocol it was sent at.
bool RefusesOpen(const std::uint8_t* record, std::size_t size, std::uint32_t openSendId);

// For an OPEN record from a simulator that is reported to ignore SimConnect
// camera commands, the line that says so; empty for any other record.
std::string CameraNote(const std::uint8_t* record, std::size_t size);

}  // namespace vantilo_net

#endif
