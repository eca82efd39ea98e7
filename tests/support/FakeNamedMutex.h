// A named-mutex service for tests: answers with a chosen outcome, can throw, and can hold the
// caller inside Acquire until the test lets it go (to keep a call inside the library).
#pragma once

#include <future>
#include <memory>
#include <stdexcept>
#include <string>

#include "common/OVException.h"
#include "platform/NamedMutex.h"

namespace ov::test {

class FakeNamedMutexProvider final : public platform::NamedMutexProvider {
 public:
  enum class Mode { Acquire, AlreadyExists, Fail, ThrowBadAlloc, ThrowOVException, Block };
  explicit FakeNamedMutexProvider(Mode mode) : m_mode(mode) {}

  Result Acquire(std::string_view name, const std::string& folder) override {
    lastName = std::string(name);
    lastFolder = folder;
    Result result;
    switch (m_mode) {
      case Mode::Acquire:
        result.outcome = Outcome::Acquired;
        result.held = std::make_unique<platform::HeldNamedMutex>();
        break;
      case Mode::AlreadyExists:
        result.outcome = Outcome::AlreadyExists;
        break;
      case Mode::Fail:
        break;
      case Mode::ThrowBadAlloc:
        throw std::bad_alloc();
      case Mode::ThrowOVException:
        throw OVException(6003, "injected");
      case Mode::Block:
        entered.set_value();
        release.get_future().wait();
        result.outcome = Outcome::Acquired;
        result.held = std::make_unique<platform::HeldNamedMutex>();
        break;
    }
    return result;
  }

  std::string lastName;
  std::string lastFolder;
  std::promise<void> entered;  // Block: set once a caller is inside
  std::promise<void> release;  // Block: set by the test to let it return

 private:
  Mode m_mode;
};

}  // namespace ov::test
