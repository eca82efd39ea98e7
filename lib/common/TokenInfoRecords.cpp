#include "common/TokenInfoRecords.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "common/WideText.h"

namespace ov {

namespace {

char g_emptyText[1] = "";
wchar_t g_emptyWide[1] = L"";

template <class Char>
Char* Duplicate(std::basic_string_view<Char> text, Char* empty) {
  if (text.empty()) return empty;
  auto copy = std::make_unique<Char[]>(text.size() + 1);
  std::copy(text.begin(), text.end(), copy.get());
  copy[text.size()] = Char{};
  return copy.release();  // handed to the caller; given back through ReleaseText
}

template <class Char>
void Release(Char*& text) noexcept {
  if (text != nullptr && text[0] != Char{}) delete[] text;
  text = nullptr;
}

template <class Record>
void ReleaseRecord(Record& info) noexcept {
  Release(info.m_szTokenName);
  Release(info.m_szTokenPolicy);
  Release(info.m_szTokenPolicyLevel);
  Release(info.m_szTokenMode);
  Release(info.m_szTokenSerialNo);
  Release(info.m_szSdkVersion);
  info.m_nTokenState = 0;
  info.m_nChallengeLength = 0;
  info.m_nMaxAttacks = 0;
  info.m_nBadPinCount = 0;
  info.m_nLockTimeLeft = 0;
  info.m_bTokenLocked = 0;
  info.m_bPinRequired = 0;
  info.m_nPinLength = 0;
  info.m_nTimeStep = 0;
  info.m_bTrivialPinAllowedEx = 0;
  info.m_pReserved = nullptr;
  info.m_nReservedLength = 0;
  info.m_bTrivialPinAllowed = 0;
}

wchar_t* WideCopy(const char* text) {
  if (text == nullptr) return nullptr;
  return DuplicateText(std::wstring_view(NarrowToWide(text)));
}

}  // namespace

char* DuplicateText(std::string_view text) { return Duplicate(text, g_emptyText); }
wchar_t* DuplicateText(std::wstring_view text) { return Duplicate(text, g_emptyWide); }
void ReleaseText(char*& text) noexcept { Release(text); }
void ReleaseText(wchar_t*& text) noexcept { Release(text); }
void ReleaseTokenInfo(OVTokenInfoA& info) noexcept { ReleaseRecord(info); }
void ReleaseTokenInfo(OVTokenInfoW& info) noexcept { ReleaseRecord(info); }

void OVTokenInfoA2W(const OVTokenInfoA& in, OVTokenInfoW& out) {
  // The caller's record may hold anything: null its strings first so a failure part way through
  // releases only what this conversion allocated.
  out.m_szTokenName = out.m_szTokenPolicy = out.m_szTokenPolicyLevel = nullptr;
  out.m_szTokenMode = out.m_szTokenSerialNo = out.m_szSdkVersion = nullptr;
  try {
    out.m_szTokenName = WideCopy(in.m_szTokenName);
    out.m_szTokenPolicy = WideCopy(in.m_szTokenPolicy);
    out.m_szTokenPolicyLevel = WideCopy(in.m_szTokenPolicyLevel);
    out.m_szTokenMode = WideCopy(in.m_szTokenMode);
    out.m_szTokenSerialNo = WideCopy(in.m_szTokenSerialNo);
    out.m_szSdkVersion = WideCopy(in.m_szSdkVersion);
  } catch (...) {
    Release(out.m_szTokenName);
    Release(out.m_szTokenPolicy);
    Release(out.m_szTokenPolicyLevel);
    Release(out.m_szTokenMode);
    Release(out.m_szTokenSerialNo);
    Release(out.m_szSdkVersion);
    throw;
  }
  out.m_nTokenState = in.m_nTokenState;
  out.m_nChallengeLength = in.m_nChallengeLength;
  out.m_nMaxAttacks = in.m_nMaxAttacks;
  out.m_nBadPinCount = in.m_nBadPinCount;
  out.m_nLockTimeLeft = in.m_nLockTimeLeft;
  out.m_bTokenLocked = in.m_bTokenLocked;
  out.m_bPinRequired = in.m_bPinRequired;
  out.m_nPinLength = in.m_nPinLength;
  out.m_nTimeStep = in.m_nTimeStep;
  out.m_bTrivialPinAllowedEx = in.m_bTrivialPinAllowedEx;
  out.m_bTrivialPinAllowed = in.m_bTrivialPinAllowed;
}

}  // namespace ov
