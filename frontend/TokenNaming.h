// The name proposed for a new token: "Kelsa Orvanti" for the first, then "Kelsa Orvanti N" with N
// one above the highest number already used after that base name.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace ov::frontend {

inline constexpr std::string_view kTokenBaseName = "Kelsa Orvanti";

std::string GetUniqueTokenName(std::span<const std::string> existingNames);

}  // namespace ov::frontend
