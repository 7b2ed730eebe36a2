// Packet encoding edge cases: string fields at and beyond their width, null
// strings, float arguments passed bit for bit, and arguments that do not
// fill a packet's fields. The ordinary packets are
// checked byte for byte over a socket in link_test.cpp.
#include "hostlink/net/packets.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/support/bytes.h"

using support::Bytes;
using support::Hex;
using support::HexField256;
using support::ToHex;

namespace {

float FromBits(std::uint32_t bits) {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

TEST(PacketStrings, OverlongTextIsCutTo255BytesAndTheSizeStays) {
  const std::string name(300, 'n');
  Bytes packet = vantilo_net::Encode<wire::kSubscribeToSystemEvent>(5, 3, name.c_str());
  EXPECT_EQ(ToHex(packet), Hex("14010000 02000000 170000f0 05000000 03000000") +
                               HexField256(std::string(255, 'n')));
}

TEST(PacketStrings, WidthBoundaries) {
  const std::string exact255(255, 'a');
  const std::string exact256(256, 'b');
  Bytes fits = vantilo_net::Encode<wire::kMenuAddItem>(1, exact255.c_str(), 19, 12345);
  Bytes cut = vantilo_net::Encode<wire::kMenuAddItem>(1, exact256.c_str(), 19, 12345);
  ASSERT_EQ(fits.size(), 280u);
  ASSERT_EQ(cut.size(), 280u);
  EXPECT_EQ(ToHex(Bytes(fits.begin() + 16, fits.begin() + 272)), HexField256(exact255));
  EXPECT_EQ(ToHex(Bytes(cut.begin() + 16, cut.begin() + 272)), HexField256(std::string(255, 'b')));
}

TEST(PacketStrings, NullAndEmptyTextAreAllZeros) {
  Bytes fromNull = vantilo_net::Encode<wire::kMapClientEventToSimEvent>(2, 21, nullptr);
  Bytes fromEmpty = vantilo_net::Encode<wire::kMapClientEventToSimEvent>(2, 21, "");
  EXPECT_EQ(ToHex(fromNull), Hex("14010000 02000000 040000f0 02000000 15000000") + HexField256(""));
  EXPECT_EQ(fromNull, fromEmpty);
}

TEST(PacketFloats, CameraArgumentsKeepTheirBits) {
  // Negative zero, FLT_MAX (leave unchanged), the smallest denormal, a NaN
  // with a payload, 8.0 and the heading for a bank of 0.5 rad.
  Bytes packet = vantilo_net::Encode<wire::kCameraSetRelative6DOF>(
      7, FromBits(0x80000000u), FromBits(0x7F7FFFFFu), FromBits(0x00000001u), FromBits(0x7FC01234u),
      8.0f, FromBits(0xC1E5309Cu));
  EXPECT_EQ(ToHex(packet), Hex("28000000 02000000 300000f0 07000000 00000080 ffff7f7f 01000000 "
                               "3412c07f 00000041 9c30e5c1"));
}

TEST(PacketFloats, EpsilonKeepsItsBits) {
  Bytes packet = vantilo_net::Encode<wire::kAddToDataDefinition>(
      9, 0, "A", "B", 4, FromBits(0x3DCCCCCDu), 0xFFFFFFFFu);
  ASSERT_EQ(packet.size(), 544u);
  EXPECT_EQ(ToHex(Bytes(packet.begin() + 532, packet.end())), Hex("04000000 cdcccc3d ffffffff"));
}

// The compile-time check that guards every operation's packet, and the
// run-time one behind the golden file's reader.
static_assert(vantilo_net::Fills<unsigned, const char*>(wire::kMapClientEventToSimEvent));
static_assert(!vantilo_net::Fills<const char*, unsigned>(wire::kMapClientEventToSimEvent));
static_assert(!vantilo_net::Fills<unsigned>(wire::kMapClientEventToSimEvent));
static_assert(!vantilo_net::Fills<unsigned, float>(wire::kMenuDeleteSubItem));

TEST(PacketArguments, ThatDoNotFillTheFieldsEncodeNothing) {
  const vantilo_net::Argument word = vantilo_net::ArgumentOf(19u);
  const vantilo_net::Argument text = vantilo_net::ArgumentOf("Vantilo");
  const vantilo_net::Argument fit[] = {word, word};
  const vantilo_net::Argument wrongKind[] = {word, text};
  EXPECT_EQ(vantilo_net::EncodePacket(wire::kMenuDeleteSubItem, 1, fit, 2).size(), 24u);
  EXPECT_TRUE(vantilo_net::EncodePacket(wire::kMenuDeleteSubItem, 1, fit, 1).empty());
  EXPECT_TRUE(vantilo_net::EncodePacket(wire::kMenuDeleteSubItem, 1, wrongKind, 2).empty());
}

}  // namespace
