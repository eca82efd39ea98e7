// What the front ends add to a failed automatic enrollment: the kind of failure the library
// reports (OV_GetEnrollmentFailure) as a sentence of the string table.
#pragma once

#include <cstdint>

#include "ov/ov_api.h"

namespace ov::frontend {

// The string ID that names an OVEnrollmentFailure; 0 for an unknown kind.
constexpr int EnrollmentFailureStringId(int32_t kind) {
  switch (kind) {
    case OV_ENROLL_SERVER_NOT_REACHED:
      return 600;
    case OV_ENROLL_CERTIFICATE_NOT_TRUSTED:
      return 601;
    case OV_ENROLL_CREDENTIALS_REFUSED:
      return 602;
    case OV_ENROLL_SERVER_ANSWER_WRONG:
      return 603;
    default:
      return 0;
  }
}

// The kind of the last enrollment's failure. Inline: only the front ends, which link the library,
// call it.
inline int32_t LastEnrollmentFailure() {
  int32_t kind = OV_ENROLL_FAILURE_UNKNOWN;
  return OV_GetEnrollmentFailure(&kind) == OV_OK ? kind : OV_ENROLL_FAILURE_UNKNOWN;
}

}  // namespace ov::frontend
