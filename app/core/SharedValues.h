// The values through which screens hand data to each other (the token's name, the PINs being set,
// the passcode, what an enrollment string prefilled), held in one place. Every text is a
// SecretText: its characters are wiped whenever it is replaced or released, so a PIN, password or
// soft PIN never outlives its use. destroyInternalData() releases them all; the main window calls
// it when it leaves the enrollment and passcode flows and on every exit.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ov::app {

// A wide text whose characters are overwritten before its memory is given back.
class SecretText {
 public:
  SecretText() = default;
  ~SecretText() { clear(); }
  SecretText(const SecretText&) = delete;
  SecretText& operator=(const SecretText&) = delete;

  void assign(std::wstring_view text);
  void clear();

  bool empty() const { return m_text.empty(); }
  const wchar_t* c_str() const { return m_text.c_str(); }
  std::wstring_view view() const { return m_text; }
  // A null pointer for an empty text, as the library's optional arguments expect.
  const wchar_t* orNull() const { return m_text.empty() ? nullptr : m_text.c_str(); }
  bool operator==(std::wstring_view other) const { return m_text == other; }

  // Overwrites a string's whole buffer and empties it.
  static void Wipe(std::wstring& text);

 private:
  std::wstring m_text;
};

struct SharedValues {
  SecretText g_szPrefilledUserId;
  SecretText g_szPrefilledPassword;
  SecretText g_szTokenName;
  SecretText g_szEnrollmentUrl;
  SecretText g_szUserId;
  SecretText g_szPassword;
  SecretText g_szSoftPin;
  SecretText g_szActivationCode;
  SecretText g_szNewPin;
  SecretText g_szChallenge;
  SecretText g_szPasscode;
  SecretText g_szCurrentPin;
  SecretText g_szChangedPin;
  int32_t g_nSoftPinMinLength = 0;
  int32_t g_nSoftPinMaxLength = 0;
  int32_t g_nSoftPinComplexity = 0;
  bool g_bShowEnrollmentChoiceText = true;
  // The OVEnrollmentFailure the enrollment choice names with its failure text.
  int32_t g_nEnrollmentFailure = 0;

  // Flags of the PIN screens that the main window's Back reads.
  bool g_bPinFailureShown = false;
  bool g_bDeactivationShown = false;
  bool g_bChangePinRequired = false;

  // The token the passcode in g_szPasscode was produced for: a passcode is shown only for the
  // token it belongs to.
  std::wstring passcodeToken;

  // The token g_szActivationCode was handed out for. Until that token's PIN is set, resetting it
  // voids a code the user may already have typed at the server.
  std::wstring activationCodeToken;

  // Makes `name` the current token; a passcode of another token is forgotten.
  void setTokenName(std::wstring_view name);
  // Stores a passcode produced for the current token.
  void setPasscode(std::wstring_view passcode);
  // The passcode of the current token, or nothing.
  std::wstring_view currentPasscode() const;

  // Keeps an activation code just handed out for the current token.
  void setActivationCode(std::wstring_view code);
  // True while an activation code shown for the current token is still waiting for its use.
  bool activationCodePending() const;
  // The activation code was used or voided.
  void forgetActivationCode();

  // Frees every shared text (wiping it) and zeroes the soft-PIN rule.
  void destroyInternalData();
};

// The one instance of the process.
SharedValues& Shared();

}  // namespace ov::app
