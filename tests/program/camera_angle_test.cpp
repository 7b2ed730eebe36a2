// The camera angle and the camera command: exact float bits for known
// banks, the order of the angle's operations and the divisor that is neither
// pi nor the double 3.1415, and every argument of the command.
#include <cmath>
#include <functional>

#include "tests/program/program_test_support.h"

namespace {

const double kPi = 3.14159265358979323846;
const double kDivisor = static_cast<double>(3.1415f);
// The largest bank whose angle narrows to a finite float (the lowest one),
// and the next double, whose angle would narrow to minus infinity.
const double kLastSendingBank = 0x1.1df240dd1da0bp+122;
const double kFirstSilentBank = 0x1.1df240dd1da0cp+122;

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

// An angle that is not a number, or that no float holds, sends nothing for
// its record; the state stays, and the next record is answered as usual.
// Up to the edge of the float range the angle is sent as ever.
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
  fake::Reset();
  Frame(kLastSendingBank);
  Frame(-kLastSendingBank);
  ASSERT_EQ(CommandCount(), 2u);
  EXPECT_EQ(HeadingBits(Commands()[0]), 0xff7fffffu);  // the lowest float
  EXPECT_EQ(HeadingBits(Commands()[1]), 0x7f7fffffu);  // the highest
}

// Banks whose exact angle lies next to a midpoint between two floats: nine
// doubles around the bank that puts the angle on the midpoint, for angles
// from 0.5 to about 200 degrees. Only there does narrowing tell apart
// formulas that agree in double precision up to the last bits.
std::vector<double> BanksNearMidpoints() {
  std::vector<double> banks;
  for (float angle = 0.5f; angle < 200.0f; angle *= 1.37f) {
    double midpoint =
        (static_cast<double>(angle) + static_cast<double>(std::nextafter(angle, 1000.0f))) / 2.0;
    double bank = midpoint * kDivisor / 180.0;
    for (int step = 0; step < 4; ++step) {
      bank = std::nextafter(bank, 0.0);
    }
    for (int step = 0; step < 9; ++step, bank = std::nextafter(bank, 10.0)) {
      banks.push_back(bank);
    }
  }
  return banks;
}

// The multiplication first, then the division by the widened float: the
// other orders, and the double 3.1415, each differ at some of these banks.
TEST_F(CameraAngle, OrderOfOperationsShowsAtRoundingMidpoints) {
  const std::function<double(double)> misreadings[] = {
      [](double bank) { return bank / kDivisor * -180.0; },
      [](double bank) { return bank * (-180.0 / kDivisor); },
      [](double bank) { return (bank * -180.0) / 3.1415; },
  };
  std::vector<double> banks = BanksNearMidpoints();
  for (const auto& misreading : misreadings) {
    std::size_t telling = 0;
    for (double bank : banks) {
      telling += fake::Bits(static_cast<float>(misreading(bank))) != fake::Bits(Expected(bank));
    }
    EXPECT_GT(telling, 0u) << "no bank tells this misreading apart";
  }
  for (double bank : banks) {
    Frame(bank);
  }
  ASSERT_EQ(CommandCount(), banks.size());
  for (std::size_t i = 0; i < banks.size(); ++i) {
    SCOPED_TRACE(::testing::Message() << std::hexfloat << banks[i]);
    EXPECT_EQ(HeadingBits(Commands()[i]), fake::Bits(Expected(banks[i])));
  }
}

// Midpoint banks with their bits from plain double arithmetic: the first
// tells the order of operations apart, the others x87 extended precision
// (one ulp off) on 32-bit x86.
TEST_F(CameraAngle, MidpointBanksBitForBit) {
  struct Row {
    double bank;
    std::uint32_t bits;
  };
  const Row rows[] = {
      {1.2054787336228503, 0xc28a244b},   {-0.7276708271674327, 0x4226c658},
      {-1.3870639462370289, 0x429ef354},  {-1.4407215974797207, 0x42a51972},
      {-3.0727382728351991, 0x43300f64},  {-0.97969916687256953, 0x42608982},
      {-1.6997393970512653, 0x42c2c812},  {-0.24254391270299167, 0x415e5abc},
      {-0.85606888864727904, 0x424433cc}, {-0.067157492828611179, 0x407644e2},
      {-1.666215049299242, 0x42bef098},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message() << row.bank);
    fake::Reset();
    Frame(row.bank);
    Frame(-row.bank);
    ASSERT_EQ(CommandCount(), 2u);
    EXPECT_EQ(HeadingBits(Commands()[0]), row.bits);
    EXPECT_EQ(HeadingBits(Commands()[1]), row.bits ^ 0x80000000u);
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
