// The token library as the CLI uses it: one session per process, one open token at a time, and
// the token records copied out of the library's memory as soon as they are read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ov/ov_api.h"

namespace ov::cli {

// The same store as the desktop application's.
inline constexpr const char* kUniqueId = "KLSA_GA_8_2";

struct TokenRecord {
  std::string name;
  std::string policy;
  std::string policyLevel;
  std::optional<std::string> mode;  // absent for a mode the library has no text for
  std::string serialNumber;
  std::string sdkVersion;
  int32_t state = 0;
  int32_t challengeLength = -1;
  int32_t maxAttacks = -1;
  int32_t badPinCount = 0;
  int32_t lockTimeLeft = 0;
  bool locked = false;
  bool pinRequired = false;
  int32_t pinLength = 0;
  int32_t timeStep = -1;
  bool trivialPinAllowed = false;
  bool trivialPinAllowedEx = false;

  bool IsLockedNow() const { return locked && lockTimeLeft > 0; }
  bool IsMode(const char* text) const { return mode && *mode == text; }
};

// OV_InitializeA for the life of the object, OV_Finalize after. A store held by another process
// is reported with the desktop application's own words.
class Session {
 public:
  Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  ~Session();

  std::vector<TokenRecord> ListTokens() const;
  // The listed record of the token called `name`: the same name, or failing that the one name
  // that differs only in letter case. No such token is its own failure. Reading it opens no token,
  // so nothing is derived or written.
  TokenRecord FindToken(const std::string& name) const;
  // The stored name of that token.
  std::string ResolveToken(const std::string& name) const { return FindToken(name).name; }
};

// OV_CreateInstanceA for the life of the object, OV_ReleaseInstance after. Opening a name that
// has no file creates one: callers resolve names through the session first, except `new`.
class OpenToken {
 public:
  explicit OpenToken(const std::string& name);
  OpenToken(const OpenToken&) = delete;
  OpenToken& operator=(const OpenToken&) = delete;
  ~OpenToken();

  TokenRecord Info() const;
  const std::string& Name() const noexcept { return m_name; }

 private:
  std::string m_name;
};

// Whether two token names are the same name: the store tells names apart only by more than
// letter case.
bool SameTokenName(std::string_view a, std::string_view b);

// A library result that no command expected: an internal error with the application's text, and
// the result code for diagnosis.
[[noreturn]] void ThrowUnexpected(int32_t result, const char* call);

}  // namespace ov::cli
