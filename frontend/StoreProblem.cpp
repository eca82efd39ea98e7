#include "frontend/StoreProblem.h"

#include "frontend/DisplayText.h"
#include "ov/ov_api.h"

namespace ov::frontend {

namespace {

// The path as one word of a POSIX shell command: in single quotes, a quote inside closed, escaped
// and opened again.
std::string ShellWord(std::string_view path) {
  std::string word = "'";
  for (const char c : DisplayName(path)) {
    if (c == '\'') {
      word += "'\\''";
    } else {
      word += c;
    }
  }
  return word + "'";
}

std::string NotPrivateText(std::string_view path, int32_t fault) {
  const std::string shown = "\"" + DisplayName(path) + "\"";
  switch (fault) {
    case OV_STORE_WRITABLE_BY_OTHERS:
      return "The folder " + shown +
             " can be written by other users, who could delete or replace your tokens, so the "
             "token store is not used. Make it writable by you alone: chmod go-w " +
             ShellWord(path);
    case OV_STORE_OTHER_OWNER:
      return "The folder " + shown +
             " belongs to another user, who could delete or replace your tokens, so the token "
             "store is not used. Move it aside so that a folder of your own is made, or have "
             "the administrator give it to you (chown).";
    case OV_STORE_SECRET_REFUSED:
      return "Your user secret " + shown +
             " is not a private file of yours (others may read or write it, it belongs to another "
             "user, it is a link or not a plain file, or it is damaged), so the token store is not "
             "used. If it is your own secret, make it private: chmod 600 " +
             ShellWord(path) + "; if it is a link, put the file it leads to in its place.";
    default:
      return shown +
             " is a link or not a plain folder or file of yours where the token store needs one, "
             "so the token store is not used. Move it aside; it is made afresh.";
  }
}

}  // namespace

bool IsStoreProblem(int32_t code) {
  return code == OV_ERR_STORE_NOT_PRIVATE || code == OV_ERR_USER_SECRET_MISSING ||
         code == OV_ERR_FILE_LOCKING_UNSUPPORTED;
}

std::string StoreProblemText(int32_t code, std::string_view path, int32_t fault) {
  switch (code) {
    case OV_ERR_STORE_NOT_PRIVATE:
      return NotPrivateText(path, fault);
    case OV_ERR_USER_SECRET_MISSING:
      return "Your user secret \"" + DisplayName(path) +
             "\" is missing, and the tokens in your token store cannot be opened without it. "
             "Put the old file back (from a backup, say) and they are there again. No new "
             "secret is made while tokens need the old one.";
    case OV_ERR_FILE_LOCKING_UNSUPPORTED:
      return "The file system of the token store does not support file locking (\"" +
             DisplayName(path) +
             "\"), so two programs could change a token at once. Keep the token store on a "
             "local disk.";
    default:
      return {};
  }
}

}  // namespace ov::frontend
