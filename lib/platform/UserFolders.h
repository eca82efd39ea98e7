// The user's folders as the platform's conventions name them.
#pragma once

#include <string>

namespace ov::platform {

// The folder for the user's application data: $XDG_DATA_HOME when it is an absolute path, else
// $HOME/.local/share (the home from the user database when HOME is unset); empty when there is
// no home at all.
std::string UserDataHome();

}  // namespace ov::platform
