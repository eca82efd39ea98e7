// The steps every OV_ function takes at the library boundary:
//   1. its arguments are checked (OV_ERR_INVALID_PARAM, log "INVALID_PARAM");
//   2. without a library object it answers OV_ERR_NOT_INITIALIZED;
//   3. the library lock is tried, never waited for: a busy lock answers OV_ERR_OPERATION_FAILED at
//      once (log "Cannot enter to the Critical section");
//   4. the OVHelper operation runs and the lock is left, also when it throws.
// Nothing is thrown across: Guard maps every exception to a result code.
#pragma once

#include <mutex>
#include <new>

#include "api/OVHelper.h"
#include "common/LogFacade.h"
#include "common/OVException.h"
#include "ov/ov_api.h"

namespace ov {

template <class Body>
int32_t Guard(LogScope& log, Body&& body) noexcept {
  try {
    return body();
  } catch (const OVException& e) {
    log.Message(e.GetErrorString().c_str());
    log.Number("ErrorCode", e.GetErrorCode());
  } catch (const std::bad_alloc&) {
    log.Message("Bad_Alloc");
  } catch (const std::exception& e) {
    log.Message(e.what());
  } catch (...) {
    log.Message("Error: Crash");
  }
  return OV_ERR_OPERATION_FAILED;
}

// Steps 1 to 4 around one OVHelper operation. The argument checks are evaluated by the caller
// (they never throw) so that each OV_ function states them in one expression.
template <class Operation>
int32_t CallLocked(LogScope& log, bool argumentsValid, Operation&& operation) noexcept {
  return Guard(log, [&]() -> int32_t {
    if (!argumentsValid) {
      log.Message("INVALID_PARAM");
      return OV_ERR_INVALID_PARAM;
    }
    OVHelper* helper = g_pOVHelper.get();
    if (helper == nullptr) {
      log.Message("Error: g_pOVHelper is NULL");
      return OV_ERR_NOT_INITIALIZED;
    }
    if (helper->CriticalSection() == nullptr) return OV_ERR_OPERATION_FAILED;
    std::unique_lock lock(*helper->CriticalSection(), std::try_to_lock);
    if (!lock.owns_lock()) {
      log.Message("Cannot enter to the Critical section");
      return OV_ERR_OPERATION_FAILED;
    }
    return operation(*helper);
  });
}

}  // namespace ov
