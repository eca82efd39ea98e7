// Automatic enrollment on a worker thread, so the window stays responsive while the server is
// asked. The worker owns copies of everything it sends (URL, user ID, password, soft PIN), wipes
// them when it is done, calls the library once, and reports back only by posting an
// EnrollmentFinishedEvent to its receiver. While it runs the user interface makes no library call
// (the library refuses a second caller at once).
//
// The exchange itself cannot be interrupted, but the wait for it can: abandon() lets the thread
// run on detached, and it posts nothing any more. An abandoned exchange that still succeeds
// resets the token it enrolled, so the token ends as a failed enrollment leaves it: installed.
#pragma once

#include <QEvent>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

class QObject;

namespace ov::app {

struct EnrollmentRequest {
  std::wstring url;
  std::wstring userId;
  std::wstring password;
  std::wstring softPin;  // empty: none
  int32_t softPinMinLength = 0;
  int32_t softPinMaxLength = 0;
  int32_t softPinComplexity = 0;

  EnrollmentRequest() = default;
  EnrollmentRequest(EnrollmentRequest&&) = default;
  EnrollmentRequest& operator=(EnrollmentRequest&&) = default;
  ~EnrollmentRequest();
};

struct EnrollmentOutcome {
  int32_t result = 0;
  int32_t softPinMinLength = 0;
  int32_t softPinMaxLength = 0;
  int32_t softPinComplexity = 0;
  int32_t failure = 0;  // the OVEnrollmentFailure of a failed exchange
};

class EnrollmentFinishedEvent : public QEvent {
 public:
  explicit EnrollmentFinishedEvent(const EnrollmentOutcome& outcome)
      : QEvent(Type()), m_outcome(outcome) {}
  const EnrollmentOutcome& outcome() const { return m_outcome; }
  static QEvent::Type Type();

 private:
  EnrollmentOutcome m_outcome;
};

class EnrollmentWorker {
 public:
  EnrollmentWorker() = default;
  ~EnrollmentWorker() { abandon(); }
  EnrollmentWorker(const EnrollmentWorker&) = delete;
  EnrollmentWorker& operator=(const EnrollmentWorker&) = delete;

  // Starts the exchange; the outcome arrives at `receiver` as an EnrollmentFinishedEvent.
  void start(QObject* receiver, EnrollmentRequest request);
  // Waits for a thread whose outcome has arrived (it is finishing).
  void join();
  // Stops waiting: the thread runs on by itself and its outcome is dropped.
  void abandon();
  bool running() const { return m_thread.joinable(); }

  // Abandoned exchanges still inside the library. Until they end the library refuses other
  // calls, and a process that ends does not wait for them.
  static int AbandonedRunning();

 private:
  struct Delivery;
  std::thread m_thread;
  std::shared_ptr<Delivery> m_delivery;
};

}  // namespace ov::app
