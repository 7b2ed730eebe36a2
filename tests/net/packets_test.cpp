// Packet encoding edge cases: text fields at and beyond their width, null
// texts, floats bit for bit, and arguments that do not fill a packet's fields.
// The ordinary packets are checked over a socket in link_test.cpp.
#include "hostlink/net/packets.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/support/bytes.h"

using support::Bytes;
using support::Hex;
using support::HexField256;
using support::ToHex;
using vantilo_net::Argument;
using vantilo_net::ArgumentOf;
using vantilo_net::Encode;
using vantilo_net::EncodePacket;

namespace {

float FromBits(std::uint32_t bits) {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// Each case: a packet as encoded, and its bytes.
struct PacketRow {
  const char* name;
  Bytes packet;
  std::string hex;  // empty: no packet
};

std::vector<PacketRow> PacketRows() {
  const std::string n300(300, 'n'), a255(255, 'a'), b256(256, 'b');
  const std::string menu = Hex("18010000 02000000 310000f0 01000000");
  const std::string menuTail = Hex("13000000 39300000");
  const std::string noText = Hex("14010000 02000000 040000f0 02000000 15000000") + HexField256("");
  const Argument word = ArgumentOf(19u), text = ArgumentOf("Vantilo");
  const Argument fit[] = {word, word}, wrongKind[] = {word, text};
  return {
      // Texts cut to 255 bytes, the packet's size staying; null as empty.
      {"overlong text", Encode<wire::kSubscribeToSystemEvent>(5, 3, n300.c_str()),
       Hex("14010000 02000000 170000f0 05000000 03000000") + HexField256(std::string(255, 'n'))},
      {"255 bytes", Encode<wire::kMenuAddItem>(1, a255.c_str(), 19, 12345),
       menu + HexField256(a255) + menuTail},
      {"256 bytes", Encode<wire::kMenuAddItem>(1, b256.c_str(), 19, 12345),
       menu + HexField256(std::string(255, 'b')) + menuTail},
      {"null text", Encode<wire::kMapClientEventToSimEvent>(2, 21, nullptr), noText},
      {"empty text", Encode<wire::kMapClientEventToSimEvent>(2, 21, ""), noText},
      // Floats bit for bit: negative zero, FLT_MAX (leave unchanged), the
      // smallest denormal, a NaN with a payload, 8.0 and the heading for a
      // bank of 0.5 rad; an epsilon of 0.1.
      {"camera floats",
       Encode<wire::kCameraSetRelative6DOF>(7, FromBits(0x80000000u), FromBits(0x7F7FFFFFu),
                                            FromBits(0x00000001u), FromBits(0x7FC01234u), 8.0f,
                                            FromBits(0xC1E5309Cu)),
       Hex("28000000 02000000 300000f0 07000000 00000080 ffff7f7f 01000000 3412c07f 00000041 "
           "9c30e5c1")},
      {"epsilon",
       Encode<wire::kAddToDataDefinition>(9, 0, "A", "B", 4, FromBits(0x3DCCCCCDu), 0xFFFFFFFFu),
       Hex("20020000 02000000 0c0000f0 09000000 00000000") + HexField256("A") + HexField256("B") +
           Hex("04000000 cdcccc3d ffffffff")},
      // Arguments checked at run time: only those that fill the fields encode.
      {"fields filled", EncodePacket(wire::kMenuDeleteSubItem, 1, fit, 2),
       Hex("18000000 02000000 340000f0 01000000 13000000 13000000")},
      {"an argument short", EncodePacket(wire::kMenuDeleteSubItem, 1, fit, 1), ""},
      {"a text for a word", EncodePacket(wire::kMenuDeleteSubItem, 1, wrongKind, 2), ""},
  };
}

TEST(Packets, EachCaseEncodesToItsBytes) {
  for (const PacketRow& row : PacketRows()) {
    EXPECT_EQ(ToHex(row.packet), row.hex) << row.name;
  }
}

// The compile-time check that guards every operation's packet (the
// run-time one, behind the golden file's reader, is in the rows above).
static_assert(vantilo_net::Fills<unsigned, const char*>(wire::kMapClientEventToSimEvent));
static_assert(!vantilo_net::Fills<const char*, unsigned>(wire::kMapClientEventToSimEvent));
static_assert(!vantilo_net::Fills<unsigned>(wire::kMapClientEventToSimEvent));
static_assert(!vantilo_net::Fills<unsigned, float>(wire::kMenuDeleteSubItem));

}  // namespace
