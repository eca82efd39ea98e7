// Letter case without a toolkit: token names are compared and ordered ignoring case, in any
// script, the same way on every system (the C library's towlower knows only ASCII until a locale
// is set, and differs between systems).
#pragma once

#include <string>
#include <string_view>

namespace ov::app {

// The text's code points with every upper-case and title-case letter made lower case (Unicode's
// one-to-one mappings).
std::u32string FoldCase(std::wstring_view text);

// Equal when letter case is ignored ("Token" and "TOKEN").
bool SameIgnoringCase(std::wstring_view a, std::wstring_view b);

// The order of names in a list: ignoring case, and where that ties, by the exact text, so that
// the order never depends on the order the names came in.
bool ListedBefore(std::wstring_view a, std::wstring_view b);

}  // namespace ov::app
