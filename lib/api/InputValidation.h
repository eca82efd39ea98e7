// The rules every text passes before the library stores or sends it. They work on the narrow
// (UTF-8) form and compare bytes: lengths count bytes, "letter" and "digit" mean ASCII only. A text
// that breaks its rule makes the calling OV_ function answer OV_ERR_INVALID_PARAM.
#pragma once

namespace ov {

// Token names, the library's unique ID and the import name: 4 to 64 characters, not all blanks,
// none of + = | ; < > , \ " * ? : /
bool IsValidTokenName(const char* text) noexcept;

}  // namespace ov
