#include "app/core/SharedValues.h"

#include <cstring>

#include "frontend/WipeBytes.h"

namespace ov::app {
namespace {

void Wipe(void* data, std::size_t bytes) {
  if (bytes == 0) return;
  // The wipe is never optimised away, unlike a memset before a free.
  ov::frontend::WipeBytes(data, bytes);
}

}  // namespace

void SecretText::assign(std::wstring_view text) {
  clear();
  m_text.reserve(text.size());
  m_text.assign(text);
}

void SecretText::Wipe(std::wstring& text) {
  ::ov::app::Wipe(text.data(), text.capacity() * sizeof(wchar_t));
  text.clear();
}

void SecretText::clear() {
  // The whole capacity: a shorter value may have replaced a longer one in the same buffer.
  ::ov::app::Wipe(m_text.data(), m_text.capacity() * sizeof(wchar_t));
  m_text.clear();
  m_text.shrink_to_fit();
}

void SharedValues::setTokenName(std::wstring_view name) {
  if (passcodeToken != name) {
    g_szPasscode.clear();
    passcodeToken.clear();
  }
  g_szTokenName.assign(name);
}

void SharedValues::setPasscode(std::wstring_view passcode) {
  g_szPasscode.assign(passcode);
  passcodeToken.assign(g_szTokenName.view());
}

std::wstring_view SharedValues::currentPasscode() const {
  if (passcodeToken != g_szTokenName.view()) return {};
  return g_szPasscode.view();
}

void SharedValues::setActivationCode(std::wstring_view code) {
  g_szActivationCode.assign(code);
  activationCodeToken.assign(g_szTokenName.view());
}

bool SharedValues::activationCodePending() const {
  return !g_szActivationCode.empty() && activationCodeToken == g_szTokenName.view();
}

void SharedValues::forgetActivationCode() {
  g_szActivationCode.clear();
  activationCodeToken.clear();
}

void SharedValues::destroyInternalData() {
  for (SecretText* text :
       {&g_szPrefilledUserId, &g_szPrefilledPassword, &g_szTokenName, &g_szEnrollmentUrl,
        &g_szUserId, &g_szPassword, &g_szSoftPin, &g_szActivationCode, &g_szNewPin, &g_szChallenge,
        &g_szPasscode, &g_szCurrentPin, &g_szChangedPin}) {
    text->clear();
  }
  passcodeToken.clear();
  activationCodeToken.clear();
  g_nSoftPinMinLength = 0;
  g_nSoftPinMaxLength = 0;
  g_nSoftPinComplexity = 0;
}

SharedValues& Shared() {
  static SharedValues values;
  return values;
}

}  // namespace ov::app
