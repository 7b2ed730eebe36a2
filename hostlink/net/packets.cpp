// Packet encoding for the client side of the wire protocol. Every value is
// written byte by byte in little-endian order, so the result does not
// depend on the host's byte order.
#include "hostlink/net/packets.h"

#include <cstring>

namespace vantilo_net {

namespace {

void PutU32(Bytes* bytes, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) {
    bytes->push_back(static_cast<std::uint8_t>(value >> shift));
  }
}

void SetU32(Bytes* bytes, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    (*bytes)[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

// At most 255 bytes of the text (null counts as empty), then NULs to 256.
void PutText(Bytes* bytes, const char* text) {
  std::size_t length = 0;
  if (text != nullptr) {
    while (length < wire::kTextFieldBytes - 1 && text[length] != '\0') {
      ++length;
    }
  }
  const std::size_t start = bytes->size();
  bytes->resize(start + wire::kTextFieldBytes, 0);
  if (length > 0) {
    std::memcpy(&(*bytes)[start], text, length);
  }
}

}  // namespace

Bytes EncodePacket(wire::FunctionId function, std::uint32_t sendId, const Argument* args,
                   std::size_t count) {
  const wire::PacketLayout* layout = wire::FindPacketLayout(function);
  if (layout == nullptr || layout->fields.size() != count) {
    return Bytes();
  }
  Bytes bytes;
  bytes.reserve(layout->Size());
  for (std::uint32_t word : {static_cast<std::uint32_t>(layout->Size()), kProtocol,
                             wire::kPacketTypeMarker | function, sendId}) {
    PutU32(&bytes, word);
  }
  for (std::size_t i = 0; i < count; ++i) {
    if (args[i].kind != layout->fields[i].kind) {
      return Bytes();
    }
    if (args[i].kind == wire::FieldKind::kText) {
      PutText(&bytes, args[i].text);
    } else {
      PutU32(&bytes, args[i].word);
    }
  }
  return bytes;
}

Bytes EncodeOpen(std::uint32_t sendId, const char* name, std::uint32_t protocol) {
  // The client alias marker: a NUL, then "XSF"; then the SP2 client's
  // version, or the RTM client's, which sends 0.0.
  const std::uint32_t marker = 0x46535800u;
  Bytes bytes = protocol == kFallbackProtocol
                    ? Encode<wire::kOpen>(sendId, name, 0u, marker, 10u, 0u, 61259u, 0u)
                    : Encode<wire::kOpen>(sendId, name, 0u, marker, 0u, 0u, 60905u, 0u);
  StampProtocol(&bytes, protocol);
  return bytes;
}

void StampProtocol(Bytes* packet, std::uint32_t protocol) { SetU32(packet, 4, protocol); }

}  // namespace vantilo_net
