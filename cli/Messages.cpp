#include "cli/Messages.h"

#include "frontend/StringTable.h"

namespace ov::cli {

using frontend::LoadOVString;
using frontend::OVString;

std::string PinRuleText(const TokenRecord& token) {
  const int length = token.pinLength;
  if (token.policyLevel != "Level 5") {
    return LoadOVString(token.trivialPinAllowedEx ? 185 : 225, length);
  }
  if (!token.trivialPinAllowed) return LoadOVString(231, length);
  return LoadOVString(token.trivialPinAllowedEx ? 228 : 229, length);
}

namespace {

std::string Attempts(const TokenRecord& token) {
  return LoadOVString(209, token.badPinCount + 1, token.maxAttacks);
}

std::string Warning(const TokenRecord& token) { return LoadOVString(210, token.maxAttacks); }

}  // namespace

int MinutesLeft(const TokenRecord& token) {
  if (!token.IsLockedNow()) return 0;
  return (token.lockTimeLeft + 59) / 60;
}

std::string LockedText(const TokenRecord& token) {
  const std::string disabled = std::string(OVString(203)) + " " + LoadOVString(206, MinutesLeft(token));
  if (token.maxAttacks == 0) return disabled;
  return Attempts(token) + " \n" + disabled + "\n" + Warning(token);
}

std::string WrongPinText(const TokenRecord& token) {
  if (token.IsLockedNow()) return LockedText(token);
  if (token.maxAttacks > 0 && token.badPinCount > 0) {
    return Attempts(token) + "\n" + OVString(160) + "\n" + Warning(token);
  }
  return OVString(160);
}

std::string AttemptsText(const TokenRecord& token) {
  if (token.maxAttacks > 0 && token.badPinCount > 0) return Attempts(token) + "\n" + Warning(token);
  return "";
}

std::string ModeName(const TokenRecord& token) {
  if (token.IsMode(OV_MODE_TEXT_EVENT_SYNCHRONOUS)) return OVString(197);
  if (token.IsMode(OV_MODE_TEXT_TIME_SYNCHRONOUS)) return OVString(198);
  if (token.IsMode(OV_MODE_TEXT_CHALLENGE_RESPONSE)) return OVString(199);
  if (token.IsMode(OV_MODE_TEXT_MULTI_HOST)) return OVString(200);
  return "-";
}

const char* StateName(int32_t state) {
  switch (state) {
    case INSTALLED_STATE: return "not activated";
    case PENDING_PIN_STATE: return "PIN not set";
    case ACTIVATED_STATE: return "activated";
    default: return "unknown";
  }
}

const char* StateKey(int32_t state) {
  switch (state) {
    case INSTALLED_STATE: return "installed";
    case PENDING_PIN_STATE: return "pending-pin";
    case ACTIVATED_STATE: return "activated";
    default: return "unknown";
  }
}

}  // namespace ov::cli
