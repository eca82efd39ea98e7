// The enrollment server's host as the user is asked about it before anything is sent.
#pragma once

#include <string>
#include <string_view>

namespace ov::app {

// The host of an https address as the user is shown it: lower case, without user, port or path,
// and a name beyond ASCII in its ASCII (punycode) form, so that a look-alike letter cannot pass
// for the host the user knows.
std::string ServerHostForDisplay(std::wstring_view url);

}  // namespace ov::app
