// The token information records handed to callers. The library allocates every string of a
// record it fills; empty strings are one shared empty string, which is why the release rule leaves
// empty strings alone. The caller owns the record and gives the strings back through the free
// functions, which also zero every number and flag.
#pragma once

#include <string_view>

#include "ov/ov_api.h"

namespace ov {

// New library-owned copies (the shared empty string for empty text). Throw std::bad_alloc.
char* DuplicateText(std::string_view text);
wchar_t* DuplicateText(std::wstring_view text);

// Releases a library-owned string unless it is null or empty, and nulls the pointer.
void ReleaseText(char*& text) noexcept;
void ReleaseText(wchar_t*& text) noexcept;

// The release rule of both record types: every non-null, non-empty string released and nulled,
// every number and flag zeroed. m_pReserved is never filled by the library, so it is not freed
// here (whatever a caller put there is the caller's); the pointer and its length are cleared.
void ReleaseTokenInfo(OVTokenInfoA& info) noexcept;
void ReleaseTokenInfo(OVTokenInfoW& info) noexcept;

// Converts a narrow record into a wide one, field by field, leaving the reserved fields of `out`
// as they are. On failure (std::bad_alloc) `out`'s strings are released again.
void OVTokenInfoA2W(const OVTokenInfoA& in, OVTokenInfoW& out);

}  // namespace ov
