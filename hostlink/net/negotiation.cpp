// The negotiation's states and copies, the lines that end it, and the
// records that decide it, read field by field in little-endian order.
#include "hostlink/net/negotiation.h"

#include "hostlink/net/reassembly.h"
#include "hostlink/net/wire.h"
#include "hostlink/simconnect.h"

namespace vantilo_net {

namespace {

// Most bytes kept for sending again while the simulator has not answered
// the Open.
const std::size_t kMaxKeptBytes = 64 * 1024;

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

// What a simulator said to the Open it did not take: "refused" only for a
// VERSION_MISMATCH; a connection closed unanswered may be a simulator at
// its client limit, or any service that hangs up.
std::string Unanswered(Refusal refusal, std::uint32_t protocol) {
  const std::string number = std::to_string(protocol);
  return refusal == Refusal::kVersionMismatch
             ? "refused SimConnect protocol " + number + " (VERSION_MISMATCH)"
             : "closed the connection before answering protocol " + number;
}

// The line for a simulator that took neither protocol.
std::string NeitherTaken(Refusal atFirst, Refusal atFallback) {
  if (atFallback == Refusal::kClosed) {
    return "closed the connection before answering (protocols " + std::to_string(kProtocol) +
           " and " + std::to_string(kFallbackProtocol) + " tried)";
  }
  if (atFirst == Refusal::kVersionMismatch) {
    return "refused SimConnect protocols " + std::to_string(kProtocol) + " and " +
           std::to_string(kFallbackProtocol) + " (VERSION_MISMATCH)";
  }
  return Unanswered(atFirst, kProtocol) + " and " + Unanswered(atFallback, kFallbackProtocol);
}

void Keep(Negotiation* negotiation, const Bytes& packet) {
  if (!AwaitingAnswer(*negotiation)) {
    return;
  }
  if (negotiation->keptBytes + packet.size() > kMaxKeptBytes) {
    return EndNegotiation(negotiation);
  }
  negotiation->kept.push_back(packet);
  negotiation->keptBytes += packet.size();
}

}  // namespace

Bytes StartNegotiation(Negotiation* negotiation, const char* name) {
  EndNegotiation(negotiation);
  negotiation->state = NegotiationState::kAtProtocol;
  negotiation->protocol = kProtocol;
  negotiation->name = name != nullptr ? name : "";
  const Bytes open = EncodeOpen(kOpenSendId, name, negotiation->protocol);
  Keep(negotiation, open);
  return open;
}

void PacketSending(Negotiation* negotiation, Bytes* packet) {
  StampProtocol(packet, negotiation->protocol);
  Keep(negotiation, *packet);
}

bool AwaitingAnswer(const Negotiation& negotiation) {
  return negotiation.state != NegotiationState::kSettled;
}

Arrival RecordArrived(Negotiation* negotiation, const std::uint8_t* record, std::size_t size) {
  if (!AwaitingAnswer(*negotiation)) {
    return Arrival::kRecord;
  }
  if (RefusesOpen(record, size, kOpenSendId)) {
    return Arrival::kRefusal;
  }
  EndNegotiation(negotiation);
  return Arrival::kAnswer;
}

bool RetryAtFallback(Negotiation* negotiation, Refusal refusal, std::string* line) {
  if (negotiation->state != NegotiationState::kAtProtocol) {
    *line = NeitherTaken(negotiation->firstRefusal, refusal);
    EndNegotiation(negotiation);
    return false;
  }
  negotiation->state = NegotiationState::kAtFallback;
  negotiation->protocol = kFallbackProtocol;
  negotiation->firstRefusal = refusal;
  negotiation->kept.front() =
      EncodeOpen(kOpenSendId, negotiation->name.c_str(), negotiation->protocol);
  for (Bytes& packet : negotiation->kept) {
    StampProtocol(&packet, negotiation->protocol);
  }
  return true;
}

std::string FallbackFailed(Negotiation* negotiation, const std::string& problem) {
  EndNegotiation(negotiation);
  return Unanswered(negotiation->firstRefusal, kProtocol) + "; opening it again at protocol " +
         std::to_string(kFallbackProtocol) + ": " + problem;
}

void EndNegotiation(Negotiation* negotiation) {
  negotiation->state = NegotiationState::kSettled;
  negotiation->kept.clear();
  negotiation->kept.shrink_to_fit();
  negotiation->keptBytes = 0;
}

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
