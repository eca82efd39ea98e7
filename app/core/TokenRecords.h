// Token records borrowed from the library for as long as a scope needs them: the open token's
// information and the list of all tokens. The library owns their strings until they are given
// back, which the destructors do on every path.
#pragma once

#include <cstdint>
#include <vector>

#include "ov/ov_api.h"

namespace ov::app {

// The open token's information (OV_GetTokenInfoW). Give it back before the token is released.
class OpenTokenInfo {
 public:
  OpenTokenInfo() : m_result(OV_GetTokenInfoW(&m_info)) {}
  ~OpenTokenInfo() {
    if (m_result == OV_OK) OV_FreeTokenInfoW(&m_info);
  }
  OpenTokenInfo(const OpenTokenInfo&) = delete;
  OpenTokenInfo& operator=(const OpenTokenInfo&) = delete;

  bool ok() const { return m_result == OV_OK; }
  int32_t result() const { return m_result; }
  const OVTokenInfoW& operator*() const { return m_info; }
  const OVTokenInfoW* operator->() const { return &m_info; }

 private:
  OVTokenInfoW m_info{};
  int32_t m_result;
};

// Every token's record (OV_GetTokenListW: the count, then the records).
class TokenList {
 public:
  TokenList() {
    int32_t count = 0;
    m_result = OV_GetTokenListW(nullptr, &count);
    if (m_result != OV_OK) return;
    m_records.resize(static_cast<std::size_t>(count > 0 ? count : 1));
    m_count = count;
    m_result = OV_GetTokenListW(m_records.data(), &m_count);
    if (m_result != OV_OK) m_count = 0;
  }
  ~TokenList() {
    if (m_count > 0) OV_FreeTokenListW(m_records.data(), m_count);
  }
  TokenList(const TokenList&) = delete;
  TokenList& operator=(const TokenList&) = delete;

  bool ok() const { return m_result == OV_OK; }
  int32_t result() const { return m_result; }
  int32_t size() const { return m_count; }
  const OVTokenInfoW& operator[](int32_t i) const { return m_records[static_cast<std::size_t>(i)]; }
  const OVTokenInfoW* begin() const { return m_records.data(); }
  const OVTokenInfoW* end() const { return m_records.data() + m_count; }

 private:
  std::vector<OVTokenInfoW> m_records;
  int32_t m_count = 0;
  int32_t m_result = OV_OK;
};

// The number of tokens, or -1 when the list cannot be read.
inline int32_t CountTokens() {
  int32_t count = 0;
  return OV_GetTokenListW(nullptr, &count) == OV_OK ? count : -1;
}

// The number of tokens that a full listing gives, or -1. Unlike the count alone it leaves out the
// files the listing sets aside (a copy of a token under another file name, a damaged file), so
// that such a file never takes a place in the limit.
inline int32_t CountListedTokens() {
  TokenList tokens;
  return tokens.ok() ? tokens.size() : -1;
}

inline bool ModeIs(const OVTokenInfoW& info, const char* modeText) {
  if (info.m_szTokenMode == nullptr) return false;
  const wchar_t* mode = info.m_szTokenMode;
  for (; *modeText != '\0'; ++mode, ++modeText) {
    if (*mode != static_cast<wchar_t>(static_cast<unsigned char>(*modeText))) return false;
  }
  return *mode == L'\0';
}

}  // namespace ov::app
