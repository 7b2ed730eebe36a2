// The stand-in's world in-process: the motion's easing and standard rate,
// the simulator pause, the camera's ignore field, and the trace's JSON text.
#include "standin/world/world.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

#include "standin/log/trace.h"

namespace standin {
namespace {

TEST(WorldMotion, EasesWithoutStepsAndEndsExactlyOnTarget) {
  Motion bank(-7.3);
  bank.Start(21.9, 2.0);
  double previous = bank.value();
  double largest = 0.0;
  for (int frame = 0; frame < 150; ++frame) {
    bank.Advance(1.0 / 60.0);
    largest = std::fmax(largest, std::fabs(bank.value() - previous));
    previous = bank.value();
  }
  // The cosine ease peaks at pi/2 times the average rate: 29.2 / 2 s * pi/2 / 60 per frame.
  EXPECT_LT(largest, 0.3823);
  EXPECT_GT(largest, 0.3800);
  EXPECT_EQ(bank.value(), 21.9);
}

TEST(WorldMotion, WithoutDurationMovesAtTheStandardRate) {
  Motion pitch(0.0);
  pitch.Start(-20.0, 0.0);  // 20 degrees at 10 per second: 2 s
  pitch.Advance(1.0);
  EXPECT_NEAR(pitch.value(), -10.0, 1e-12);
  pitch.Advance(0.999);
  EXPECT_NE(pitch.value(), -20.0);
  pitch.Advance(0.001);
  EXPECT_EQ(pitch.value(), -20.0);
}

TEST(WorldMotion, SimulatorPauseFreezesTheAircraft) {
  World world;
  world.Roll(10.0, 1.0);
  world.Advance(0.5);
  double halfway = world.bankDegrees();
  world.paused = true;
  world.Advance(5.0);
  EXPECT_EQ(world.bankDegrees(), halfway);
  world.paused = false;
  world.Advance(0.5);
  EXPECT_EQ(world.bankDegrees(), 10.0);
}

TEST(WorldCamera, IgnoreFieldKeepsTheComponent) {
  World world;
  const float first[6] = {1, 2, 3, 8, 0, -28.648735f};
  world.ApplyCamera(2, first);
  const float second[6] = {FLT_MAX, FLT_MAX, FLT_MAX, 4, FLT_MAX, FLT_MAX};
  world.ApplyCamera(3, second);
  const float expected[6] = {1, 2, 3, 4, 0, -28.648735f};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(world.camera().values[i], expected[i]) << i;
  }
  EXPECT_EQ(world.camera().client, 3);
}

TEST(TraceJson, StringsAndNumbersReadBackExactly) {
  EXPECT_EQ(JsonString("a\"b\\c\n\x01\xe9"), "\"a\\\"b\\\\c\\u000a\\u0001\\u00e9\"");
  JsonLine line;
  line.Num("bank", 0.1).Float("heading", -28.648735f).Num("nan", std::nan("")).Bool("up", false);
  EXPECT_EQ(line.Text(),
            "{\"bank\":0.10000000000000001,\"heading\":-28.648735,\"nan\":\"nan\",\"up\":false}");
}

}  // namespace
}  // namespace standin
