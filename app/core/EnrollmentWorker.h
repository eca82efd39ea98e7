// Automatic enrollment on a worker thread, so the window stays responsive while the server is
// asked. The worker owns copies of everything it sends (URL, user ID, password, soft PIN), wipes
// them when it is done, calls the library once, and reports back only through the delivery it was
// given, which posts the outcome to the user interface's thread. While it runs the user interface makes no library call
// (the library refuses a second caller at once).
//
// The exchange itself cannot be interrupted, but the wait for it can: abandon() lets the thread
// run on detached, and it posts nothing any more. An abandoned exchange that still succeeds
// resets the token it enrolled, so the token ends as a failed enrollment leaves it: installed.
#pragma once

#include <functional>

#include <cstdint>
#include <memory>
#include <string>
#include <thread>

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

class EnrollmentWorker {
 public:
  EnrollmentWorker() = default;
  ~EnrollmentWorker() { abandon(); }
  EnrollmentWorker(const EnrollmentWorker&) = delete;
  EnrollmentWorker& operator=(const EnrollmentWorker&) = delete;

  // Called on the worker's thread with the outcome, unless the wait was abandoned first; it must
  // only hand the outcome over to the user interface's thread (post it), never act on it there.
  using Delivery = std::function<void(const EnrollmentOutcome&)>;

  // Starts the exchange; the outcome goes to `deliver`.
  void start(Delivery deliver, EnrollmentRequest request);
  // Waits for a thread whose outcome has arrived (it is finishing).
  void join();
  // Stops waiting: the thread runs on by itself and its outcome is dropped.
  void abandon();
  bool running() const { return m_thread.joinable(); }

  // Abandoned exchanges still inside the library. Until they end the library refuses other
  // calls, and a process that ends does not wait for them.
  static int AbandonedRunning();

 private:
  struct Recipient;
  std::thread m_thread;
  std::shared_ptr<Recipient> m_recipient;
};

}  // namespace ov::app
