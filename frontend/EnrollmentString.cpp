#include "frontend/EnrollmentString.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "frontend/WipeBytes.h"

namespace ov::frontend {
namespace {

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<int8_t, 256> MakeValues() {
  std::array<int8_t, 256> values{};
  for (auto& v : values) v = -1;
  for (std::size_t i = 0; i < kAlphabet.size(); ++i) {
    values[static_cast<unsigned char>(kAlphabet[i])] = static_cast<int8_t>(i);
  }
  return values;
}
constexpr std::array<int8_t, 256> kValues = MakeValues();

int ValueOf(char c) { return kValues[static_cast<unsigned char>(c)]; }

// The decoded text may hold a passphrase.
void Wipe(std::string& text) {
  WipeBytes(text.data(), text.size());
  text.clear();
}

}  // namespace

bool IsBase64(std::string_view text) {
  std::size_t counted = 0;
  for (const char c : text) {
    if (c == '\r' || c == '\n') continue;
    if (ValueOf(c) < 0 && c != '=') return false;
    ++counted;
  }
  return counted % 4 == 0;
}

std::string DecodeBase64(std::string_view text) {
  std::size_t length = (text.size() + 3) / 4 * 3;
  if (!text.empty() && text.back() == '=') {
    --length;
    if (text.size() >= 2 && text[text.size() - 2] == '=') --length;
  }
  std::string out;
  uint32_t bits = 0;
  int pending = 0;
  for (const char c : text) {
    const int value = ValueOf(c);
    if (value < 0) continue;
    bits = (bits << 6) | static_cast<uint32_t>(value);
    pending += 6;
    if (pending >= 8) {
      pending -= 8;
      out.push_back(static_cast<char>((bits >> pending) & 0xFF));
    }
  }
  if (out.size() > length) out.resize(length);
  if (const std::size_t zero = out.find('\0'); zero != std::string::npos) out.resize(zero);
  return out;
}

std::optional<std::string> CheckIfBase64Relaxed(std::string_view text) {
  std::string padded(text);
  for (int added = 0; added <= 2; ++added) {
    if (IsBase64(padded)) return padded;
    padded.push_back('=');
  }
  return std::nullopt;
}

// Lines end at LF; a CR before it is dropped. (Cutting one character before every LF, whatever
// it is, would eat the last character of every line of a text with bare LF line ends.)
std::map<std::string, std::string> ParseConnectionString(std::string_view text) {
  std::map<std::string, std::string> entries;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t lf = text.find('\n', pos);
    std::string_view line = text.substr(pos, lf == std::string_view::npos ? std::string_view::npos : lf - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      entries[""] = std::string(line);
    } else {
      entries[std::string(line.substr(0, equals))] = std::string(line.substr(equals + 1));
    }
    if (lf == std::string_view::npos) break;
    pos = lf + 1;
  }
  return entries;
}

bool CheckIfBase64ConnectionString(std::string_view text) {
  return ParseConnectionString(DecodeBase64(text)).contains("EnrollmentURL");
}

std::optional<EnrollmentString> ParseEnrollmentString(std::string_view text) {
  const std::optional<std::string> padded = CheckIfBase64Relaxed(text);
  if (!padded) return std::nullopt;
  std::string decoded = DecodeBase64(*padded);
  auto entries = ParseConnectionString(decoded);
  Wipe(decoded);
  const auto url = entries.find("EnrollmentURL");
  EnrollmentString parsed;
  if (const auto user = entries.find("UserID"); user != entries.end()) parsed.userId = user->second;
  if (const auto pass = entries.find("Passphrase"); pass != entries.end()) {
    parsed.passphrase = pass->second;
  }
  const bool isEnrollmentString = url != entries.end();
  if (isEnrollmentString) parsed.url = url->second;
  for (auto& [key, value] : entries) Wipe(value);
  if (!isEnrollmentString) return std::nullopt;
  return parsed;
}

}  // namespace ov::frontend
