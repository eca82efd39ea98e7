// The A functions' narrow strings on Windows: the ANSI code page, both ways.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "common/TokenInfoRecords.h"
#include "common/WideText.h"

namespace {

TEST(WindowsNarrowTextTest, AnsiCodePageWithoutBestFit) {
  if (GetACP() != 1252) GTEST_SKIP() << "the cases are those of code page 1252";
  EXPECT_STREQ(ov::NarrowArgument(L"Caf\u00e9 \u20ac").get(), "Caf\xE9 \x80");
  // A look-alike would let another PIN match: the infinity sign is not "8", the fullwidth one is
  // not "1".
  EXPECT_STREQ(ov::NarrowArgument(L"12\u221e\uff11").get(), "12??");
  EXPECT_EQ(ov::NarrowArgument(nullptr).get(), nullptr);
  EXPECT_STREQ(ov::NarrowArgument(L"").get(), "");
  EXPECT_EQ(ov::NarrowToWide("Caf\xE9 \x80"), L"Caf\u00e9 \u20ac");
  EXPECT_EQ(ov::NarrowToWide(""), L"");
}

TEST(WindowsNarrowTextTest, Utf16BothWays) {
  EXPECT_EQ(ov::ToWide("S\xC3\xA9r\xF0\x9F\x98\x80\xC3"), L"S\u00e9r\U0001F600\uFFFD");
  ov::SecureString narrow;
  ov::AppendUtf8(std::wstring{L'a', static_cast<wchar_t>(0xD800), L'\u00e9', static_cast<wchar_t>(0xD83D)}, narrow);
  EXPECT_EQ(narrow.view(), "a?\xC3\xA9?") << "lone surrogates";
  EXPECT_EQ(ov::Utf16ToUtf8(u"S\u00e9r\U0001F600"), "S\xC3\xA9r\xF0\x9F\x98\x80");
  EXPECT_EQ(ov::Utf8ToUtf16("S\xC3\xA9r\xF0\x9F\x98\x80"), u"S\u00e9r\U0001F600");
}

TEST(WindowsNarrowTextTest, TokenRecordsWidenThroughTheCodePage) {
  if (GetACP() != 1252) GTEST_SKIP() << "the cases are those of code page 1252";
  OVTokenInfoA narrow{};
  narrow.m_szTokenName = ov::DuplicateText(std::string_view("Caf\xE9"));
  OVTokenInfoW wide{};
  ov::OVTokenInfoA2W(narrow, wide);
  EXPECT_EQ(std::wstring(wide.m_szTokenName), L"Caf\u00e9");
  ov::ReleaseTokenInfo(narrow);
  ov::ReleaseTokenInfo(wide);
}

}  // namespace
