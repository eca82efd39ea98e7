// Time steps and the count-down beside them, against the worked figures of the passcode time base.
#include <gtest/gtest.h>

#include "common/OVException.h"
#include "engine/PasscodeTime.h"
#include "support/ErrorCode.h"
#include "support/VectorFile.h"

namespace ov {
namespace {

using test::VectorRecord;

using test::CodeOf;

class TimeStepVectors : public ::testing::TestWithParam<VectorRecord> {};

TEST_P(TimeStepVectors, StepAndSecondsLeft) {
  const VectorRecord& r = GetParam();
  ASSERT_TRUE(r.Ok()) << r.Error();
  const int64_t unix = r.Int("Unix");
  const auto tstick = static_cast<int32_t>(r.Int("TStick"));
  if (r.Has("Error")) {
    EXPECT_EQ(CodeOf([&] { TimeStep(unix, tstick); }), r.Int("Error"));
  } else {
    EXPECT_EQ(TimeStep(unix, tstick), r.Int("Step"));
  }
  if (r.Has("SecondsLeftError")) {
    EXPECT_EQ(CodeOf([&] { SecondsLeftInStep(unix, tstick); }), r.Int("SecondsLeftError"));
  } else {
    EXPECT_EQ(SecondsLeftInStep(unix, tstick), r.Int("SecondsLeft"));
  }
}

INSTANTIATE_TEST_SUITE_P(PasscodeTime, TimeStepVectors,
                         ::testing::ValuesIn(test::LoadVectorFile("engine/time_steps.vec")),
                         test::VectorRecordName);

}  // namespace
}  // namespace ov
