// The camera angle and the camera command: exact float bits for known
// banks, the divisor that is neither pi nor the double 3.1415, and every
// argument of the command.
#include "tests/program/program_test_support.h"

namespace {

const double kPi = 3.14159265358979323846;

std::uint32_t HeadingBits(const fake::Call& command) { return fake::Bits(command.floats.at(5)); }

float Expected(double bank) {
  return static_cast<float>((bank * -180.0) / static_cast<double>(3.1415f));
}

using CameraAngle = ProgramTest;

TEST_F(CameraAngle, WorkedExampleHalfRadian) {
  Frame(0.5);
  ASSERT_EQ(CommandCount(), 1u);
  EXPECT_EQ(HeadingBits(Commands()[0]), fake::Bits(-28.648735f));
  EXPECT_EQ(HeadingBits(Commands()[0]), 0xc1e5309cu);
}

TEST_F(CameraAngle, ZeroBankGivesNegativeZero) {
  Frame(0.0);
  ASSERT_EQ(CommandCount(), 1u);
  EXPECT_EQ(HeadingBits(Commands()[0]), 0x80000000u);
}

TEST_F(CameraAngle, SignIsOppositeToTheBank) {
  Frame(0.3);
  Frame(-0.3);
  ASSERT_EQ(CommandCount(), 2u);
  EXPECT_LT(Commands()[0].floats[5], 0.0f);
  EXPECT_GT(Commands()[1].floats[5], 0.0f);
  EXPECT_EQ(HeadingBits(Commands()[0]) ^ HeadingBits(Commands()[1]), 0x80000000u);
}

TEST_F(CameraAngle, TableBitForBit) {
  struct Row {
    double bank;
    std::uint32_t bits;
  };
  const Row rows[] = {
      {0.5, 0xc1e5309c},    {-0.25, 0x4165309c},  {1.0, 0xc265309c},
      {-1.0, 0x4265309c},   {0.1, 0xc0b75a16},    {3.0, 0xc32be475},
      {0.001, 0xbd6ab0c0},  {2.5, 0xc30f3e61},    {0.0073, 0xbed627b0},
      {0.0146, 0xbf5627b0}, {0.0151, 0xbf5d7d36}, {1.5707963267948966, 0xc2b4015c},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.bank);
    fake::Reset();
    Frame(row.bank);
    ASSERT_EQ(CommandCount(), 1u);
    EXPECT_EQ(HeadingBits(Commands()[0]), row.bits);
    EXPECT_EQ(row.bits, fake::Bits(Expected(row.bank)));
  }
}

// The table above discriminates: for these banks pi, or the double nearest
// 3.1415, would give other bits than the single-precision 3.1415 widened.
TEST_F(CameraAngle, DivisorIsTheWidenedSinglePrecisionValue) {
  EXPECT_EQ(static_cast<double>(3.1415f), 3.1414999961853027);
  EXPECT_NE(fake::Bits(static_cast<float>((0.0073 * -180.0) / 3.1415)), 0xbed627b0u);
  EXPECT_NE(fake::Bits(static_cast<float>((0.5 * -180.0) / kPi)), 0xc1e5309cu);
  EXPECT_NE(fake::Bits(static_cast<float>((1.5707963267948966 * -180.0) / kPi)), 0xc2b4015cu);
}

TEST_F(CameraAngle, BankIsReadFromByteEightNotByteZero) {
  Dispatch(fake::DataRecord(REQUEST_ATTITUDE, 0.5, -1.0));
  ASSERT_EQ(CommandCount(), 1u);
  EXPECT_EQ(HeadingBits(Commands()[0]), 0x4265309cu);
}

TEST_F(CameraAngle, RecordAtAnyAlignment) {
  for (std::size_t misalign = 0; misalign < 8; ++misalign) {
    Dispatch(fake::DataRecord(REQUEST_ATTITUDE, 0.0, 0.5), 56, misalign);
  }
  ASSERT_EQ(CommandCount(), 8u);
  for (const fake::Call& command : Commands()) {
    EXPECT_EQ(HeadingBits(command), 0xc1e5309cu);
  }
}

using CameraCommand = ProgramTest;

TEST_F(CameraCommand, ArgumentsExactly) {
  Frame(0.5);
  ASSERT_EQ(CommandCount(), 1u);
  EXPECT_EQ(Commands()[0].Text(),
            "SimConnect_CameraSetRelative6DOF(H, 0x00000000f, 0x00000000f, 0x00000000f, "
            "0x41000000f, 0x00000000f, 0xc1e5309cf)");
}

TEST_F(CameraCommand, OnePerAttitudeRecord) {
  for (int i = 0; i < 5; ++i) {
    Frame(0.1 * i);
  }
  EXPECT_EQ(CommandCount(), 5u);
  // Only the host's camera operation is called: nothing else reaches it.
  EXPECT_EQ(fake::Calls().size(), 5u);
}

TEST_F(CameraCommand, UsesTheMainRoutinesHandle) {
  int other;
  hSimConnect = &other;
  Frame(0.5);
  ASSERT_EQ(CommandCount(), 1u);
  EXPECT_EQ(Commands()[0].args.rfind("H,", 0), std::string::npos);
}

}  // namespace
