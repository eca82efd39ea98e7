// Passcode time: the moving factor of a time-based token and the count-down beside it.
//
// Time steps count whole seconds from 2000-01-01 00:00:01 UTC, not from 1970 and not from
// midnight; the server counts from the same instant, so moving this base by one second changes
// every code. The seconds are taken modulo 2^32 as the server does (that only matters from the
// year 2136 on). A clock set before the base gives 0 seconds rather than a wrapped value.
//
// Both functions take the current time as a parameter, so the engine passes the platform clock's
// reading and tests pass any instant they like:
//
//   OVEngine::GetNextPasscode (time mode):
//     const int64_t now = platform::Current().clock->NowUnixSeconds();
//     const int32_t step = TimeStep(now, m_Policy.GetTStick());
//   OVEngine::GetRemainingTickCount:
//     return SecondsLeftInStep(platform::Current().clock->NowUnixSeconds(), m_Policy.GetTStick());
#pragma once

#include <cstdint>

namespace ov {

// 2000-01-01 00:00:01 UTC in Unix seconds.
inline constexpr int64_t kTimeStepBaseUnixSeconds = 946684801;

// The time step at `unixSeconds`: seconds since the base divided by `tstick` (20, 30 or 60 for a
// time-based policy; 1 gives the seconds themselves). Step 0, the first `tstick` seconds after
// the base or any time before it, is no moving factor a server accepts: it raises OVException
// 6003, as do a `tstick` below 1 and a step beyond the int32 range of a counter entry (only
// possible with `tstick` 1 after 2068).
int32_t TimeStep(int64_t unixSeconds, int32_t tstick);

// Seconds until the next step begins: 1 .. tstick, and tstick (not 0) exactly at a boundary.
// A `tstick` below 1 raises OVException 6003.
int32_t SecondsLeftInStep(int64_t unixSeconds, int32_t tstick);

}  // namespace ov
