// The next passcode of the open token through the public API: the length query, then the
// passcode into a buffer one longer (the A form writes no terminator). Failures are test failures.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ov/ov_api.h"

namespace ov::test {

inline std::string NextPasscode(const char* challenge = nullptr) {
  int32_t length = 0;
  EXPECT_EQ(OV_GenerateOtpA(challenge, 0, nullptr, &length), OV_OK);
  std::vector<char> otp(static_cast<std::size_t>(length) + 1, '\0');
  EXPECT_EQ(OV_GenerateOtpA(challenge, 0, otp.data(), &length), OV_OK);
  return otp.data();
}

}  // namespace ov::test
