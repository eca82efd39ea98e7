// The front ends' shared rules: the proposed token name and the string table's formatting.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/WideText.h"
#include "frontend/DisplayText.h"
#include "frontend/EnrollmentString.h"
#include "frontend/StoreProblem.h"
#include "frontend/StringTable.h"
#include "frontend/TokenNaming.h"
#include "support/Base64Reference.h"

namespace {

// Shown names: printable text unchanged, everything that could forge a line or drive a terminal
// escaped; JSON always valid UTF-8.
TEST(DisplayTextTest, EscapesWhatIsNotPlainlyPrintable) {
  struct Case {
    std::string text;
    std::string shown;
    std::string json;
  };
  const Case cases[] = {
      {"B\xC3\xBCro 2 \xE6\x9D\xB1 \xF0\x9F\x94\x91", "B\xC3\xBCro 2 \xE6\x9D\xB1 \xF0\x9F\x94\x91",
       "B\xC3\xBCro 2 \xE6\x9D\xB1 \xF0\x9F\x94\x91"},
      {"a\nb\tc\rd", "a\\x0ab\\x09c\\x0dd", "a\\nb\\tc\\rd"},
      {"\x1B[2J\x07\x7F", "\\x1b[2J\\x07\\x7f", "\\u001b[2J\\u0007\\u007f"},
      {std::string("nul\0end", 7), "nul\\x00end", "nul\\u0000end"},
      {"q\"b\\s", "q\"b\\\\s", "q\\\"b\\\\s"},
      {"c1 \xC2\x9B"
       "31m",
       "c1 \\u009b31m", "c1 \\u009b31m"},
      {"rtl \xE2\x80\xAE"
       "gpj.exe",
       "rtl \\u202egpj.exe", "rtl \\u202egpj.exe"},
      // Invisible format characters, which make two names look alike: zero-width space and
      // joiner, soft hyphen, byte order mark, a tag (beyond the first plane: a surrogate pair in
      // JSON). A visible neighbour (U+2010) stays.
      {"Wo\xE2\x80\x8Br\xE2\x80\x8Dk", "Wo\\u200br\\u200dk", "Wo\\u200br\\u200dk"},
      {"soft\xC2\xAD \xEF\xBB\xBF \xE2\x80\x90", "soft\\u00ad \\ufeff \xE2\x80\x90",
       "soft\\u00ad \\ufeff \xE2\x80\x90"},
      {"tag \xF3\xA0\x81\x81", "tag \\U000e0041", "tag \\udb40\\udc41"},
      {"bad \xFF\xFE", "bad \\xff\\xfe", "bad \xEF\xBF\xBD\xEF\xBF\xBD"},
      {"overlong \xC0\xAF", "overlong \\xc0\\xaf", "overlong \xEF\xBF\xBD\xEF\xBF\xBD"},
      {"surrogate \xED\xA0\x80", "surrogate \\xed\\xa0\\x80",
       "surrogate \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"cut \xE2\x82", "cut \\xe2\\x82", "cut \xEF\xBF\xBD\xEF\xBF\xBD"},
      {"past \xF4\x90\x80\x80", "past \\xf4\\x90\\x80\\x80",
       "past \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ov::frontend::DisplayName(c.text), c.shown) << c.shown;
    EXPECT_EQ(ov::frontend::JsonStringContent(c.text), c.json) << c.shown;
  }
}

// Each refusal names its path, escaped as names are, and the mend for a writable folder is a
// command that survives a quote in the path.
TEST(StoreProblemTest, NamesThePathAndTheMend) {
#ifdef _WIN32
  GTEST_SKIP() << "store folders are not judged on Windows, and the mends are POSIX shell commands";
#endif
  struct Case {
    int32_t code;
    int32_t fault;
    const char* expected;
  };
  const Case cases[] = {
      {OV_ERR_STORE_NOT_PRIVATE, OV_STORE_WRITABLE_BY_OTHERS, "chmod go-w '/h/it'\\''s\\x1b'"},
      {OV_ERR_STORE_NOT_PRIVATE, OV_STORE_OTHER_OWNER, "belongs to another user"},
      {OV_ERR_STORE_NOT_PRIVATE, OV_STORE_NOT_PLAIN, "is a link"},
      {OV_ERR_STORE_NOT_PRIVATE, OV_STORE_SECRET_REFUSED, "chmod 600 '/h/it'\\''s\\x1b'"},
      {OV_ERR_USER_SECRET_MISSING, 0, "\"/h/it's\\x1b\" is missing"},
      {OV_ERR_FILE_LOCKING_UNSUPPORTED, 0, "does not support file locking"},
  };
  for (const Case& c : cases) {
    const std::string text = ov::frontend::StoreProblemText(c.code, "/h/it's\x1b", c.fault);
    EXPECT_NE(text.find(c.expected), std::string::npos) << text;
    EXPECT_NE(text.find("/h/it"), std::string::npos) << text;
    EXPECT_EQ(text.find('\x1b'), std::string::npos) << "the path is shown escaped";
  }
  EXPECT_EQ(ov::frontend::StoreProblemText(OV_ERR_OPERATION_FAILED, "/h", 0), "");
}

// The front ends show escaped exactly the characters that a new name may not hold in the
// library: one list of controls and format characters on both sides of the library's boundary.
TEST(DisplayTextTest, EscapesWhatTheLibraryRefusesInNewNames) {
  const auto utf8 = [](char32_t c) {
    std::string out;
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
  };
  int escaped = 0;
  for (char32_t c = 1; c <= 0x10FFFF; ++c) {
    if ((c >= 0xD800 && c <= 0xDFFF) || c == '\\') continue;
    const std::string text = utf8(c);
    const bool shownEscaped = ov::frontend::DisplayName(text) != text;
    ASSERT_EQ(shownEscaped, !ov::IsPrintableUtf8(text)) << std::hex << static_cast<uint32_t>(c);
    escaped += shownEscaped;
  }
  // C0 without NUL (31), DEL, C1 (32), the line and paragraph separators and the 170 format
  // characters (general category Cf) of Unicode 15.0.
  EXPECT_EQ(escaped, 31 + 1 + 32 + 2 + 170);
}

TEST(TokenNamingTest, ProposesOneAboveTheHighestNumberUsed) {
  struct Case {
    std::vector<std::string> names;
    const char* proposed;
  };
  const Case cases[] = {
      {{}, "Kelsa Orvanti"},
      {{"My token"}, "Kelsa Orvanti"},
      {{"Kelsa Orvanti"}, "Kelsa Orvanti 2"},
      {{"Kelsa Orvanti", "Kelsa Orvanti 3"}, "Kelsa Orvanti 4"},
      {{"Kelsa Orvanti 7", "Kelsa Orvanti 2"}, "Kelsa Orvanti 8"},
      {{"Old Kelsa Orvanti 5"}, "Kelsa Orvanti 6"},   // the base name may stand anywhere
      {{"Kelsa Orvanti x"}, "Kelsa Orvanti"},        // no number after it
      {{"kelsa orvanti 4"}, "Kelsa Orvanti"},        // letter case counts
      {{"Kelsa Orvanti 99999999999999999999"}, "Kelsa Orvanti"},  // too large to count on
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ov::frontend::GetUniqueTokenName(c.names), c.proposed) << c.proposed;
  }
}

TEST(StringTableTest, FormatsItsPlaceholders) {
  EXPECT_EQ(ov::frontend::LoadOVString(209, 4, 10), "Attempts: 4/10.");
  EXPECT_EQ(ov::frontend::LoadOVString(186, 2, 5),
            "Attempt: 2/5. After 5 unsuccessful attempts, your token will need to be activated again.");
  EXPECT_EQ(ov::frontend::LoadOVString(206, 2), "Try again after 2 minute(s).");
  EXPECT_STREQ(ov::frontend::OVString(204), "The Orvanti client application is already running.");
  EXPECT_STREQ(ov::frontend::OVString(9999), "");
}

using ov::test::Base64;

TEST(EnrollmentStringTest, RecognisesAndParses) {
  using ov::frontend::ParseEnrollmentString;
  const std::string full = Base64("EnrollmentURL=https://enroll.example/ov?a=b\r\nUserID=alice\r\nPassphrase=x=y");
  const auto parsed = ParseEnrollmentString(full);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->url, "https://enroll.example/ov?a=b") << "the value runs past further \"=\"";
  EXPECT_EQ(parsed->userId, "alice");
  EXPECT_EQ(parsed->passphrase, "x=y");

  const std::string urlOnly = Base64("EnrollmentURL=https://e.example/\r\nUserID=bob");
  ASSERT_EQ(urlOnly.back(), '=');
  const std::string cut = urlOnly.substr(0, urlOnly.find('='));
  ASSERT_TRUE(ParseEnrollmentString(cut)) << "cut-off padding is accepted";
  EXPECT_EQ(ParseEnrollmentString(cut)->userId, "bob");
  EXPECT_FALSE(ParseEnrollmentString(cut)->passphrase);
  EXPECT_EQ(ov::frontend::CheckIfBase64Relaxed(cut), urlOnly) << "and comes back padded";

  EXPECT_TRUE(ParseEnrollmentString(urlOnly.substr(0, 8) + "\r\n" + urlOnly.substr(8)))
      << "line breaks inside the base64 are skipped";
  EXPECT_FALSE(ParseEnrollmentString(Base64("UserID=alice")));
  EXPECT_FALSE(ParseEnrollmentString(Base64("enrollmenturl=https://e.example/"))) << "keys keep their case";
  EXPECT_FALSE(ParseEnrollmentString(Base64("https://e.example/"))) << "a line without \"=\" has an empty key";
  EXPECT_FALSE(ParseEnrollmentString(urlOnly.substr(0, 4) + " " + urlOnly.substr(4)));
  EXPECT_FALSE(ParseEnrollmentString("https://enroll.example/"));
}

TEST(EnrollmentStringTest, BareLineFeedsKeepEveryCharacter) {
  const auto entries = ov::frontend::ParseConnectionString("EnrollmentURL=https://e.example/\nUserID=alice\n");
  EXPECT_EQ(entries.at("EnrollmentURL"), "https://e.example/");
  EXPECT_EQ(entries.at("UserID"), "alice");
  const auto later = ov::frontend::ParseConnectionString("UserID=a\r\nUserID=b\r\nplain");
  EXPECT_EQ(later.at("UserID"), "b") << "a later key replaces an earlier one";
  EXPECT_EQ(later.at(""), "plain");
}

}  // namespace
