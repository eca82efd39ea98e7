#include "app/EnrollmentWorker.h"

#include <QCoreApplication>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "app/AppLog.h"
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

QEvent::Type EnrollmentFinishedEvent::Type() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

// Where the outcome goes: the receiver until the wait is abandoned, then nowhere.
struct EnrollmentWorker::Delivery {
  std::mutex mutex;
  QObject* receiver = nullptr;
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

void EnrollmentWorker::start(QObject* receiver, EnrollmentRequest request) {
  abandon();
  m_delivery = std::make_shared<Delivery>();
  m_delivery->receiver = receiver;
  m_thread = std::thread([delivery = m_delivery, request = std::move(request)]() mutable {
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
    std::lock_guard lock(delivery->mutex);
    if (delivery->receiver != nullptr) {
      QCoreApplication::postEvent(delivery->receiver, new EnrollmentFinishedEvent(outcome));
      delivery->posted = true;
      return;
    }
    log.Message("Abandoned enrollment ended");
    if (outcome.result == OV_OK) ResetAbandonedToken(log);
    g_abandonedRunning.fetch_sub(1);
  });
}

void EnrollmentWorker::join() {
  if (m_thread.joinable()) m_thread.join();
  m_delivery.reset();
}

void EnrollmentWorker::abandon() {
  if (!m_thread.joinable()) return;
  std::unique_lock lock(m_delivery->mutex);
  if (m_delivery->posted) {
    // Too late: the outcome is on its way (the receiver drops it) and the thread is ending.
    lock.unlock();
    join();
    return;
  }
  m_delivery->receiver = nullptr;
  g_abandonedRunning.fetch_add(1);
  lock.unlock();
  m_thread.detach();
  m_delivery.reset();
}

}  // namespace ov::app
