// What a screen shows, as the view receives it: a string of the table with its numbers, or a text
// of its own (a token's name, a server's host name) that is shown as it stands. The view turns it
// into its toolkit's string; the core never formats for a toolkit.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace ov::app {

// Texts the desktop application adds to the string table.
inline constexpr int kStrAbout = 300;
inline constexpr int kStrMultiHostRefused = 301;
inline constexpr int kStrDeactivateFailed = 302;
inline constexpr int kStrDeleteFailed = 303;
inline constexpr int kStrAboutText = 304;
inline constexpr int kStrMenu = 305;
inline constexpr int kStrTokenList = 306;
inline constexpr int kStrCopy = 307;
inline constexpr int kStrCopied = 308;
inline constexpr int kStrActivationCodeVoided = 409;
inline constexpr int kStrActivationCodeCopied = 410;
inline constexpr int kStrQuit = 509;
inline constexpr int kStrEnrollmentServerQuestion = 510;
inline constexpr int kStrEnrolling = 511;
inline constexpr int kStrInputTooLong = 516;
inline constexpr int kStrTokenLimit = 517;
inline constexpr int kStrMultiHost = 200;

struct Text {
  int id = 0;                // the string's number; 0 with no literal: nothing
  std::vector<int> numbers;  // its %d placeholders, in order
  std::string literal;       // UTF-8, used when id is 0

  static Text Of(int id) { return Text{id, {}, {}}; }
  static Text Of(int id, int a) { return Text{id, {a}, {}}; }
  static Text Of(int id, int a, int b) { return Text{id, {a, b}, {}}; }
  static Text Literal(std::string text) { return Text{0, {}, std::move(text)}; }

  bool empty() const { return id == 0 && literal.empty(); }
  // The text in UTF-8, with its numbers filled in.
  std::string str() const;
  bool operator==(const Text&) const = default;
};

// A token's name as it is shown: line breaks, control characters and the like written as escapes,
// so a stored name cannot forge a row or hide its true text.
std::string DisplayName(std::string_view name);
std::string DisplayName(std::wstring_view name);

// UTF-8 from the library's wide texts and back.
std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view text);

}  // namespace ov::app
