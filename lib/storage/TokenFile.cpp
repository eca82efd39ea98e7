#include "storage/TokenFile.h"

#include <algorithm>
#include <iterator>

namespace ov {

namespace {

constexpr std::string_view kTemporaryExtensions[] = {".tk3.", ".dat.", ".import."};
constexpr std::size_t kTemporarySuffixLength = 6;  // the "XXXXXX" of a temporary file's name

}  // namespace

bool IsLeftoverTemporaryName(std::string_view fileName) {
  if (fileName.size() <= kTemporarySuffixLength) return false;
  const std::string_view suffix = fileName.substr(fileName.size() - kTemporarySuffixLength);
  const std::string_view rest = fileName.substr(0, fileName.size() - kTemporarySuffixLength);
  const bool random = std::all_of(suffix.begin(), suffix.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
  });
  return random && std::any_of(std::begin(kTemporaryExtensions), std::end(kTemporaryExtensions),
                               [&](std::string_view ext) {
                                 return rest.size() > ext.size() && rest.ends_with(ext);
                               });
}

}  // namespace ov
