#include "app/core/ServerHost.h"

#include <cstdint>
#include <optional>

#include "app/core/CaseFold.h"
#include "app/core/Text.h"

namespace ov::app {
namespace {

std::string Utf8(const std::u32string& text) {
  std::wstring wide;
  for (char32_t c : text) {
    if (sizeof(wchar_t) == 2 && c >= 0x10000) {
      wide += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
      wide += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      wide += static_cast<wchar_t>(c);
    }
  }
  return ToUtf8(wide);
}

bool IsLabelDot(char32_t c) { return c == U'.' || c == 0x3002 || c == 0xFF0E || c == 0xFF61; }

// RFC 3492's encoding of one label; nothing when its numbers overflow.
std::optional<std::string> Punycode(const std::u32string& label) {
  constexpr uint32_t kBase = 36, kTMin = 1, kTMax = 26, kSkew = 38, kDamp = 700;
  auto digit = [](uint32_t d) { return static_cast<char>(d < 26 ? 'a' + d : '0' + (d - 26)); };
  auto adapt = [](uint32_t delta, uint32_t points, bool first) {
    delta = first ? delta / kDamp : delta / 2;
    delta += delta / points;
    uint32_t k = 0;
    while (delta > ((kBase - kTMin) * kTMax) / 2) {
      delta /= kBase - kTMin;
      k += kBase;
    }
    return k + (kBase - kTMin + 1) * delta / (delta + kSkew);
  };
  std::string out;
  for (char32_t c : label) {
    if (c < 0x80) out += static_cast<char>(c);
  }
  const auto basic = static_cast<uint32_t>(out.size());
  uint32_t handled = basic;
  if (basic > 0) out += '-';
  uint32_t n = 0x80, delta = 0, bias = 72;
  while (handled < label.size()) {
    uint32_t m = UINT32_MAX;
    for (char32_t c : label) {
      if (c >= n && c < m) m = c;
    }
    if (m - n > (UINT32_MAX - delta) / (handled + 1)) return std::nullopt;
    delta += (m - n) * (handled + 1);
    n = m;
    for (char32_t c : label) {
      if (c < n && ++delta == 0) return std::nullopt;
      if (c != n) continue;
      uint32_t q = delta;
      for (uint32_t k = kBase;; k += kBase) {
        const uint32_t t = k <= bias ? kTMin : k >= bias + kTMax ? kTMax : k - bias;
        if (q < t) break;
        out += digit(t + (q - t) % (kBase - t));
        q = (q - t) / (kBase - t);
      }
      out += digit(q);
      bias = adapt(delta, handled + 1, handled == basic);
      delta = 0;
      ++handled;
    }
    ++delta;
    ++n;
  }
  return out;
}

}  // namespace

std::string ServerHostForDisplay(std::wstring_view url) {
  const std::size_t scheme = url.find(L"://");
  std::wstring_view authority = scheme == std::wstring_view::npos ? url : url.substr(scheme + 3);
  authority = authority.substr(0, authority.find_first_of(L"/?#"));
  if (const std::size_t at = authority.rfind(L'@'); at != std::wstring_view::npos) {
    authority.remove_prefix(at + 1);
  }
  std::wstring_view host = authority;
  if (!host.empty() && host.front() == L'[') {
    const std::size_t close = host.find(L']');
    host = host.substr(1, close == std::wstring_view::npos ? host.npos : close - 1);
  } else if (const std::size_t colon = host.rfind(L':'); colon != std::wstring_view::npos) {
    host = host.substr(0, colon);
  }
  const std::u32string lower = FoldCase(host);
  std::string shown;
  std::u32string label;
  for (std::size_t i = 0; i <= lower.size(); ++i) {
    if (i < lower.size() && !IsLabelDot(lower[i])) {
      label += lower[i];
      continue;
    }
    bool ascii = true;
    for (char32_t c : label) ascii = ascii && c < 0x80;
    if (ascii) {
      shown += Utf8(label);
    } else if (const std::optional<std::string> encoded = Punycode(label)) {
      shown += "xn--" + *encoded;
    } else {
      return Utf8(lower);  // not a name that has an ASCII form: shown as it stands
    }
    if (i < lower.size()) shown += '.';
    label.clear();
  }
  return shown;
}

}  // namespace ov::app
