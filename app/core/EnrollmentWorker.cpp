#include "app/core/EnrollmentWorker.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "app/core/AppLog.h"
#include "frontend/EnrollmentFailure.h"
#include "frontend/WipeBytes.h"
#include "ov/ov_api.h"

namespace ov::app {
namespace {

void Wipe(std::wstring& text) {
  ov::frontend::WipeBytes(text.data(), text.capacity() * sizeof(wchar_t));
  text.clear();
}

}  // namespace

EnrollmentRequest::~EnrollmentRequest() {
  Wipe(url);
  Wipe(userId);
  Wipe(password);
  Wipe(softPin);
}

// Where the outcome goes: the delivery until the wait is abandoned, then nowhere.
struct EnrollmentWorker::Recipient {
  std::mutex mutex;
  Delivery deliver;
  bool posted = false;
};

namespace {

std::atomic<int> g_abandonedRunning{0};

// Undoes an enrollment that nobody waits for any more. The user interface may be inside the
// library for a moment, which refuses a second caller at once: the reset is tried again briefly.
void ResetAbandonedToken(AppLog& log) {
  int32_t result = OV_ERR_OPERATION_FAILED;
  for (int attempt = 0; attempt < 100 && result == OV_ERR_OPERATION_FAILED; ++attempt) {
    if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    result = OV_ResetToken();
  }
  log.Number("OV_ResetToken", result);
}

}  // namespace

int EnrollmentWorker::AbandonedRunning() { return g_abandonedRunning.load(); }

void EnrollmentWorker::start(Delivery deliver, EnrollmentRequest request) {
  abandon();
  m_recipient = std::make_shared<Recipient>();
  m_recipient->deliver = std::move(deliver);
  m_thread = std::thread([recipient = m_recipient, request = std::move(request)]() mutable {
    AppLog log("CAutoEnrollmentCredentials::StartAutoEnrollmentThread");
    EnrollmentOutcome outcome;
    outcome.softPinMinLength = request.softPinMinLength;
    outcome.softPinMaxLength = request.softPinMaxLength;
    outcome.softPinComplexity = request.softPinComplexity;
    outcome.result = OV_PerformAutoEnrollmentW(
        request.url.c_str(), request.userId.c_str(), request.password.c_str(),
        request.softPin.empty() ? nullptr : request.softPin.c_str(), nullptr, 0,
        &outcome.softPinMinLength, &outcome.softPinMaxLength, &outcome.softPinComplexity);
    // Read at once, on this thread: the next exchange forgets it.
    if (outcome.result != OV_OK) outcome.failure = frontend::LastEnrollmentFailure();
    log.Number("result", outcome.result);
    Wipe(request.password);
    Wipe(request.softPin);
    std::lock_guard lock(recipient->mutex);
    if (recipient->deliver) {
      recipient->deliver(outcome);
      recipient->posted = true;
      return;
    }
    log.Message("Abandoned enrollment ended");
    if (outcome.result == OV_OK) ResetAbandonedToken(log);
    g_abandonedRunning.fetch_sub(1);
  });
}

void EnrollmentWorker::join() {
  if (m_thread.joinable()) m_thread.join();
  m_recipient.reset();
}

void EnrollmentWorker::abandon() {
  if (!m_thread.joinable()) return;
  std::unique_lock lock(m_recipient->mutex);
  if (m_recipient->posted) {
    // Too late: the outcome is on its way (the receiver drops it) and the thread is ending.
    lock.unlock();
    join();
    return;
  }
  m_recipient->deliver = nullptr;
  g_abandonedRunning.fetch_add(1);
  lock.unlock();
  m_thread.detach();
  m_recipient.reset();
}

}  // namespace ov::app
