// The camera angle on 32-bit x86 has the bits of plain IEEE double
// arithmetic narrowed once. These banks put the exact quotient next to a
// midpoint between two floats, where the x87 unit's extended precision
// rounds to the neighbouring float; a build without SSE2 math fails here.
#include "tests/program/program_test_support.h"

namespace {

using AnglePrecision = ProgramTest;

TEST_F(AnglePrecision, MidpointBanksRoundAsInDouble) {
  struct Row {
    double bank;
    std::uint32_t bits;
  };
  // Bits from double arithmetic on x86-64; the x87 unit gives one ulp off.
  const Row rows[] = {
      {-0.7276708271674327, 0x4226c658},   {-1.3870639462370289, 0x429ef354},
      {-1.4407215974797207, 0x42a51972},   {-3.0727382728351991, 0x43300f64},
      {-0.97969916687256953, 0x42608982},  {-1.6997393970512653, 0x42c2c812},
      {-0.24254391270299167, 0x415e5abc},  {-0.85606888864727904, 0x424433cc},
      {-0.067157492828611179, 0x407644e2}, {-1.666215049299242, 0x42bef098},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message() << row.bank);
    fake::Reset();
    Frame(row.bank);
    Frame(-row.bank);
    ASSERT_EQ(CommandCount(), 2u);
    EXPECT_EQ(fake::Bits(Commands()[0].floats.at(5)), row.bits);
    EXPECT_EQ(fake::Bits(Commands()[1].floats.at(5)), row.bits ^ 0x80000000u);
  }
}

}  // namespace
