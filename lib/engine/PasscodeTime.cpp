#include "engine/PasscodeTime.h"

#include <cstdint>

#include "common/LogFacade.h"
#include "common/OVException.h"
#include "ov/ov_api.h"

namespace ov {
namespace {

uint32_t SecondsSinceBase(int64_t unixSeconds) {
  if (unixSeconds < kTimeStepBaseUnixSeconds) return 0;
  return static_cast<uint32_t>(unixSeconds - kTimeStepBaseUnixSeconds);
}

void CheckStep(LogScope& log, int32_t tstick) {
  if (tstick < 1) {
    log.Message("Invalid Param or State");
    throw OVException(OV_ERR_OPERATION_FAILED, "time step length below one second");
  }
}

}  // namespace

int32_t TimeStep(int64_t unixSeconds, int32_t tstick) {
  LogScope log("TimeStep");
  log.Number("nTStick", tstick);
  CheckStep(log, tstick);
  const uint32_t step = SecondsSinceBase(unixSeconds) / static_cast<uint32_t>(tstick);
  log.Number("nTimeStep", static_cast<int32_t>(step));
  // A real policy's tstick (20 or more) keeps the step far below 2^31; only tstick 1 after 2068
  // could leave the int32 range of the counter entry.
  if (step == 0 || step > static_cast<uint32_t>(INT32_MAX)) {
    log.Message("Invalid time step");
    throw OVException(OV_ERR_OPERATION_FAILED, "time step outside 1 .. 2^31 - 1");
  }
  return static_cast<int32_t>(step);
}

int32_t SecondsLeftInStep(int64_t unixSeconds, int32_t tstick) {
  LogScope log("SecondsLeftInStep");
  log.Number("nTStick", tstick);
  CheckStep(log, tstick);
  const uint32_t into = SecondsSinceBase(unixSeconds) % static_cast<uint32_t>(tstick);
  return log.Return(tstick - static_cast<int32_t>(into));
}

}  // namespace ov
