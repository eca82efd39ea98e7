#include "app/EnrollmentWorker.h"

#include <QCoreApplication>
#include <cstring>

#include "app/AppLog.h"
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

void EnrollmentWorker::start(QObject* receiver, EnrollmentRequest request) {
  join();
  m_thread = std::thread([receiver, request = std::move(request)]() mutable {
    AppLog log("CAutoEnrollmentCredentials::StartAutoEnrollmentThread");
    EnrollmentOutcome outcome;
    outcome.softPinMinLength = request.softPinMinLength;
    outcome.softPinMaxLength = request.softPinMaxLength;
    outcome.softPinComplexity = request.softPinComplexity;
    outcome.result = OV_PerformAutoEnrollmentW(
        request.url.c_str(), request.userId.c_str(), request.password.c_str(),
        request.softPin.empty() ? nullptr : request.softPin.c_str(), nullptr, 0,
        &outcome.softPinMinLength, &outcome.softPinMaxLength, &outcome.softPinComplexity);
    log.Number("result", outcome.result);
    Wipe(request.password);
    Wipe(request.softPin);
    QCoreApplication::postEvent(receiver, new EnrollmentFinishedEvent(outcome));
  });
}

void EnrollmentWorker::join() {
  if (m_thread.joinable()) m_thread.join();
}

}  // namespace ov::app
