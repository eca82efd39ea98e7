// The texts the CLI shows about a token, built from the string table the way the desktop
// application's screens build them.
#pragma once

#include <cstdint>
#include <string>

#include "cli/TokenStore.h"

namespace ov::cli {

// The PIN rule shown before a new PIN is asked for.
std::string PinRuleText(const TokenRecord& token);
// What a wrong PIN answers: the attempt count and warning when the token counts attempts, or
// the lock-out when this PIN started one.
std::string WrongPinText(const TokenRecord& token);
// What a locked token answers: attempts, "temporarily disabled" and the minutes left.
std::string LockedText(const TokenRecord& token);
// Minutes left of a lock-out, rounded up; 0 when the token is not locked.
int MinutesLeft(const TokenRecord& token);
// Shown before the PIN is asked for again after earlier wrong PINs; empty otherwise.
std::string AttemptsText(const TokenRecord& token);

// "Event-Based", "Time-Based", ... for people; the library's mode text goes to --json.
std::string ModeName(const TokenRecord& token);
// "not activated", "PIN not set", "activated".
const char* StateName(int32_t state);
// The state as --json spells it.
const char* StateKey(int32_t state);

}  // namespace ov::cli
