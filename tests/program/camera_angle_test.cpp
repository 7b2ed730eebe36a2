// The camera angle and the camera command: exact float bits for known
// banks, the order of the angle's operations and the divisor that is neither
// pi nor the double 3.1415, and every argument of the command.
#include <cmath>
#include <iterator>

#include "tests/program/program_test_support.h"

namespace {

// The largest bank whose angle narrows to a finite float (the lowest one),
// and the next double, whose angle would narrow to minus infinity.
const double kLastSendingBank = 0x1.1df240dd1da0bp+122;
const double kFirstSilentBank = 0x1.1df240dd1da0cp+122;

std::uint32_t HeadingBits(const fake::Call& command) { return fake::Bits(command.floats.at(5)); }

using CameraAngle = ProgramTest;

// The heading for a bank and, with the sign bit flipped, for the opposite
// bank: one command per record, and no other call. The bits were worked out
// once, (bank * -180.0) / double(3.1415f) narrowed.
TEST_F(CameraAngle, BitForBit) {
  struct Row {
    double bank;
    std::uint32_t bits;
  };
  // 0.5 rad is -28.648735f, and bank 0 gives negative zero. Dividing by pi
  // would change every other row, and by the double 3.1415 those from 0.0073
  // to 0.0151.
  const Row known[] = {
      {0.5, 0xc1e5309c},    {0.0, 0x80000000},    {-0.25, 0x4165309c},
      {1.0, 0xc265309c},    {0.1, 0xc0b75a16},    {3.0, 0xc32be475},
      {0.001, 0xbd6ab0c0},  {2.5, 0xc30f3e61},    {0.0073, 0xbed627b0},
      {0.0146, 0xbf5627b0}, {0.0151, 0xbf5d7d36}, {1.5707963267948966, 0xc2b4015c},
  };
  // Angles next to a midpoint between two floats, where narrowing tells apart
  // formulas that agree in double precision up to the last bits: dividing
  // first, multiplying by the one factor -180.0 / 3.1415f, the double 3.1415,
  // or computing in float each give other bits for some of these. The decimal
  // ones also show x87 extended precision (one ulp off) on 32-bit x86. Last,
  // the edge of the float range: the lowest float, and the highest.
  const Row midpoints[] = {
      {1.2054787336228503, 0xc28a244b},   {-0.7276708271674327, 0x4226c658},
      {-1.3870639462370289, 0x429ef354},  {-1.4407215974797207, 0x42a51972},
      {-3.0727382728351991, 0x43300f64},  {-0.97969916687256953, 0x42608982},
      {-1.6997393970512653, 0x42c2c812},  {-0.24254391270299167, 0x415e5abc},
      {-0.85606888864727904, 0x424433cc}, {-0.067157492828611179, 0x407644e2},
      {-1.666215049299242, 0x42bef098},   {0x1.1df2428a0902ep-7, 0xbf000001},
      {0x1.6fa26c2d41fd3p-6, 0xbfa4910c}, {0x1.2fd7e27502305p-3, 0xc10802e7},
      {0x1.d7543cb63a2abp+0, 0xc2d2fbec}, {kLastSendingBank, 0xff7fffff},
  };
  std::vector<Row> rows(std::begin(known), std::end(known));
  rows.insert(rows.end(), std::begin(midpoints), std::end(midpoints));
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message() << std::hexfloat << row.bank);
    fake::Reset();
    Frame(row.bank);
    Frame(-row.bank);
    ASSERT_EQ(fake::Calls().size(), 2u);
    ASSERT_EQ(CommandCount(), 2u);
    EXPECT_EQ(HeadingBits(Commands()[0]), row.bits);
    EXPECT_EQ(HeadingBits(Commands()[1]), row.bits ^ 0x80000000u);
  }
}

// An angle that is not a number, or that no float holds, sends nothing for
// its record; the state stays, and the next record is answered as usual.
TEST_F(CameraAngle, AngleOutsideTheFloatRangeSendsNothing) {
  const double banks[] = {std::nan(""), HUGE_VAL,         -HUGE_VAL,        1e300,
                          -1e300,       kFirstSilentBank, -kFirstSilentBank};
  for (double bank : banks) {
    SCOPED_TRACE(bank);
    fake::Reset();
    controllerState = kFollowing;
    Frame(bank);
    EXPECT_EQ(CommandCount(), 0u);
    EXPECT_TRUE(StateIs(kFollowing));
    Frame(0.5);
    ASSERT_EQ(CommandCount(), 1u);
    EXPECT_EQ(HeadingBits(Commands()[0]), 0xc1e5309cu);
  }
}

// The bank is read from byte 8 of the data block (pitch 0.5 is at byte 0),
// at every alignment of the record.
TEST_F(CameraAngle, BankFromByteEightAtAnyAlignment) {
  for (std::size_t misalign = 0; misalign < 8; ++misalign) {
    Dispatch(fake::DataRecord(REQUEST_ATTITUDE, 0.5, -1.0), 56, misalign);
  }
  ASSERT_EQ(CommandCount(), 8u);
  for (const fake::Call& command : Commands()) {
    EXPECT_EQ(HeadingBits(command), 0x4265309cu);
  }
}

using CameraCommand = ProgramTest;

// Every argument, and the handle is whatever the main routine holds.
TEST_F(CameraCommand, ArgumentsExactly) {
  Frame(0.5);
  int other;
  hSimConnect = &other;
  Frame(0.5);
  ASSERT_EQ(CommandCount(), 2u);
  EXPECT_EQ(Commands()[0].line, "CameraSetRelative6DOF 0 0 0 8 0 -28.648735");
  EXPECT_EQ(Commands()[1].line,
            "CameraSetRelative6DOF " + fake::HandleText(&other) + " 0 0 0 8 0 -28.648735");
}

}  // namespace
