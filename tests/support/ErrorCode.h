// The OVException code that `call` raises, or 0 when it returns normally.
#pragma once

#include <cstdint>

#include "common/OVException.h"

namespace ov::test {

inline int32_t CodeOf(const auto& call) {
  try {
    call();
  } catch (const OVException& e) {
    return e.GetErrorCode();
  }
  return 0;
}

}  // namespace ov::test
