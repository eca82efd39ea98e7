#include "api/InputValidation.h"

#include <cstring>
#include <string_view>

#include "common/LogFacade.h"

namespace ov {

bool IsValidTokenName(const char* text) noexcept {
  LogScope log("OVHelper::IsValidTokenName");
  if (text == nullptr) return false;
  const std::string_view name(text, strnlen(text, 65));
  const bool valid = name.size() >= 4 && name.size() <= 64 &&
                     name.find_first_not_of(' ') != std::string_view::npos &&
                     name.find_first_of("+=|;<>,\\\"*?:/") == std::string_view::npos;
  log.Return(valid);
  return valid;
}

}  // namespace ov
