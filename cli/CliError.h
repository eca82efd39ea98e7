// Exit codes of orvanti-cli and the error that carries one to main(). Each class of failure has a
// code of its own so that scripts can tell them apart; the README lists them.
#pragma once

#include <stdexcept>
#include <string>

namespace ov::cli {

enum ExitCode : int {
  kExitOk = 0,
  kExitInternal = 1,      // the library failed, or anything unexpected
  kExitBadInput = 2,      // arguments, names, PINs, policy strings, challenges that break a rule
  kExitWrongPin = 3,      // the PIN was wrong
  kExitLocked = 4,        // too many wrong PINs: the token is locked for some minutes
  kExitDeactivated = 5,   // too many wrong PINs: the token was deactivated
  kExitNoSuchToken = 6,
  kExitBusy = 7,          // another process holds the token store
  kExitRefused = 8,       // the token is not in a state that allows the command
  kExitCancelled = 9,     // the user said no
  kExitEnrollment = 10,   // automatic enrollment failed: server unreachable, refusing or wrong
  kExitStoreNotPrivate = 11,  // a folder of the token store (or its lock file) others can change
  kExitSecretMissing = 12,    // token files exist but the user secret that opens them does not
  kExitNoFileLocking = 13,    // the token store's file system does not support file locking
};

class CliError : public std::runtime_error {
 public:
  CliError(ExitCode code, const std::string& message) : std::runtime_error(message), m_code(code) {}
  ExitCode Code() const noexcept { return m_code; }

 private:
  ExitCode m_code;
};

}  // namespace ov::cli
