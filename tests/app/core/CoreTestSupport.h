// What the core's tests share: the token library in a fresh store with a clock the test steps, and
// Effects that record what a screen asks for instead of doing it. Nothing here draws: a test calls
// a model's handlers, reads its state, fires its timers by calling fireTimer and answers its
// questions in advance.
#pragma once

#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>
#include <chrono>
#include <ostream>
#include <thread>

#include "app/core/Effects.h"
#include "app/core/Navigation.h"
#include "app/core/ScreenModel.h"
#include "app/core/SharedValues.h"
#include "ov/ov_api.h"
#include "storage/StoragePaths.h"
#include "support/PasscodeReference.h"
#include "support/StorageEnvironment.h"

namespace ov::test {

// The library initialised in an empty store; the shared values are cleared on the way out.
class CoreEnvironment {
 public:
  CoreEnvironment() {
    std::error_code ignored;
    std::filesystem::remove_all(ov::GetFilePath(nullptr), ignored);
    initialized = OV_InitializeW(L"KLSA_GA_8_2", 0);
  }
  ~CoreEnvironment() {
    OV_ReleaseInstance();
    if (initialized == OV_OK) OV_Finalize();
    app::SharedValues& shared = app::Shared();
    shared.destroyInternalData();
    shared.g_bPinFailureShown = false;
    shared.g_bDeactivationShown = false;
    shared.g_bChangePinRequired = false;
    shared.g_bShowEnrollmentChoiceText = true;
    shared.g_nEnrollmentFailure = 0;
  }
  CoreEnvironment(const CoreEnvironment&) = delete;
  CoreEnvironment& operator=(const CoreEnvironment&) = delete;

  StorageEnvironment storage;
  FakeClock& clock = storage.clock;
  int32_t initialized;
};

// Names are UTF-8 here and go to the library in its wide form, which holds any name on every
// system (the narrow form is the ANSI code page on Windows).
//
// An activated token with `policy` (and `pin` when the policy asks for one); gives the OTP key
// its activation code implies. The token is left closed.
inline std::vector<uint8_t> MakeActivatedToken(const std::string& name, const std::string& policy,
                                               const char* pin = nullptr) {
  std::vector<uint8_t> key;
  if (OV_CreateInstanceW(app::FromUtf8(name).c_str(), 0) != OV_OK) return key;
  char code[OV_ACTIVATION_CODE_SIZE] = {};
  if (OV_GenerateActivationCodeA(policy.c_str(), code) == OV_OK) key = ActivationKey(code, policy);
  if (pin != nullptr) OV_SetPinA(pin);
  OV_ReleaseInstance();
  return key;
}

// A token that was created and never activated.
inline void MakeInstalledToken(const std::string& name) {
  OV_CreateInstanceW(app::FromUtf8(name).c_str(), 0);
  OV_ReleaseInstance();
}

// The open token's state, or 0.
inline int32_t OpenTokenState() {
  OVTokenInfoA info{};
  if (OV_GetTokenInfoA(&info) != OV_OK) return 0;
  const int32_t state = info.m_nTokenState;
  OV_FreeTokenInfoA(&info);
  return state;
}

// The open token's next passcode through the public API, or "" when the library refuses.
inline std::string NextPasscode() {
  int32_t length = 0;
  if (OV_GenerateOtpA(nullptr, 0, nullptr, &length) != OV_OK) return {};
  std::vector<char> otp(static_cast<std::size_t>(length) + 1, '\0');
  if (OV_GenerateOtpA(nullptr, 0, otp.data(), &length) != OV_OK) return {};
  return otp.data();
}

inline const std::string kEventPolicy = Formulate({{"mode", 0}, {"pinlen", 0}, {"pwdlen", 8}});
inline const std::string kTimePolicy =
    Formulate({{"mode", 1}, {"pinlen", 0}, {"pwdlen", 6}, {"tstick", 30}});
inline const std::string kPinPolicy =
    Formulate({{"mode", 0}, {"pinlen", 4}, {"maxattacks", 0}, {"attackdelay", 2}});
inline const std::string kChallengePolicy =
    Formulate({{"mode", 2}, {"pinlen", 0}, {"challlen", 8}});


// A navigation message as a model posted it.
struct Posted {
  int message;
  int code;
  bool operator==(const Posted&) const = default;
};
inline Posted Continued(int code) { return {app::WM_CONTINUE_MSG, code}; }
inline Posted Cancelled(int code) { return {app::WM_CANCEL_MSG, code}; }
inline Posted Indicated(int code) { return {app::WM_TITLE_INDICATOR_MSG, code}; }

inline std::ostream& operator<<(std::ostream& out, const Posted& p) {
  return out << "{" << p.message << ", " << p.code << "}";
}

// Records every effect. Questions are answered from `answers` in order, Yes once it is empty.
class RecordedEffects : public app::Effects {
 public:
  struct Box {
    app::MessageKind kind;
    std::string text;
    std::string caption;
  };
  struct Timer {
    int milliseconds;
    bool singleShot;
  };

  void post(int message, int code) override { posted.push_back({message, code}); }
  void runTimer(int id, int milliseconds, bool singleShot) override {
    timers[id] = {milliseconds, singleShot};
  }
  void cancelTimer(int id) override { timers.erase(id); }
  void showMessage(app::MessageKind kind, const std::string& text,
                   const std::string& caption) override {
    boxes.push_back({kind, text, caption});
  }
  bool ask(const std::string& text, const std::string& caption) override {
    boxes.push_back({app::MessageKind::Question, text, caption});
    if (answers.empty()) return true;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void copySecret(std::string_view text) override { clipboard.assign(text); }
  void clearSecret() override { clipboard.clear(); }
  std::string clipboardText() override { return userClipboard; }
  void clearClipboard() override { userClipboard.clear(); }
  void deliver(std::function<void()> task) override {
    std::lock_guard lock(m_mutex);
    m_tasks.push_back(std::move(task));
  }

  // Runs the tasks delivered so far (from any thread) on this one; returns how many ran.
  int runDelivered() {
    std::deque<std::function<void()>> tasks;
    {
      std::lock_guard lock(m_mutex);
      tasks.swap(m_tasks);
    }
    for (auto& task : tasks) task();
    return static_cast<int>(tasks.size());
  }
  // Waits (up to `seconds`) until a task has been delivered, then runs the delivered ones.
  bool waitForDelivery(int seconds = 30) {
    for (int i = 0; i < seconds * 100; ++i) {
      if (runDelivered() > 0) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
  // The messages posted since the last call, and forgets them.
  std::vector<Posted> take() { return std::exchange(posted, {}); }
  bool running(int id) const { return timers.count(id) != 0; }

  std::vector<Posted> posted;
  std::map<int, Timer> timers;
  std::vector<Box> boxes;
  std::deque<bool> answers;
  std::string clipboard;      // the secret copied through copySecret
  std::string userClipboard;  // what the user's clipboard holds for clipboardText

 private:
  std::mutex m_mutex;
  std::deque<std::function<void()>> m_tasks;
};

// A model wired to recorded effects, created and shown for a variant as the router would.
template <typename Model>
struct Shown {
  explicit Shown(int dialogType = 0) {
    model.setEffects(&effects);
    model.m_DialogType = dialogType;
    model.create();
    model.show(true);
  }
  ~Shown() { model.setEffects(nullptr); }
  RecordedEffects effects;
  Model model;
};

}  // namespace ov::test
