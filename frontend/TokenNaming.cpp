#include "frontend/TokenNaming.h"

#include <algorithm>
#include <cstdint>

namespace ov::frontend {
namespace {

// The number a name carries after the base name, or -1. The base name may stand anywhere in the
// name; the number starts one character after it (the separating blank, whatever it is). Numbers
// too large to count on are ignored rather than wrapped.
int64_t NumberAfterBase(std::string_view name) {
  const std::size_t at = name.find(kTokenBaseName);
  if (at == std::string_view::npos) return -1;
  const std::size_t end = at + kTokenBaseName.size();
  if (end == name.size()) return 1;
  const std::string_view digits = name.substr(std::min(end + 1, name.size()));
  if (digits.empty() || digits.size() > 9) return -1;
  int64_t value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

}  // namespace

std::string GetUniqueTokenName(std::span<const std::string> existingNames) {
  int64_t highest = -1;
  for (const std::string& name : existingNames) highest = std::max(highest, NumberAfterBase(name));
  std::string name(kTokenBaseName);
  if (highest != -1) name += " " + std::to_string(highest + 1);
  return name;
}

}  // namespace ov::frontend
