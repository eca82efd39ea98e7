// Where the CLI's answers come from: PINs and passwords from the terminal with echo off, or, when
// a script asked for it, one line each from standard input. Secrets never come from the command
// line, where every user of the machine could read them.
#pragma once

#include <string>
#include <string_view>

namespace ov::cli {

// Text that held a PIN or password: wiped when it goes. Its buffer is reserved once, large enough
// for any line read, so that no copy is left behind by a reallocation.
class Secret {
 public:
  static constexpr std::size_t kMaxLength = 255;
  // Characters past the capacity are dropped.
  explicit Secret(std::size_t capacity = kMaxLength);
  Secret(Secret&& other) noexcept;
  Secret& operator=(Secret&& other) noexcept;
  Secret(const Secret&) = delete;
  Secret& operator=(const Secret&) = delete;
  ~Secret();

  void Append(char c);
  void Clear();
  const char* c_str() const noexcept { return m_text.c_str(); }
  std::string_view View() const noexcept { return m_text; }
  bool empty() const noexcept { return m_text.empty(); }
  std::size_t size() const noexcept { return m_text.size(); }

 private:
  std::string m_text;
  std::size_t m_capacity;
};

class Prompter {
 public:
  // secretsFromStdin: --pin-stdin or --password-stdin was given.
  explicit Prompter(bool secretsFromStdin) : m_secretsFromStdin(secretsFromStdin) {}

  // A secret: the next line of standard input, or typed at the terminal without echo after the
  // prompt. No line on standard input, or no terminal to ask, is bad input.
  Secret ReadSecret(std::string_view prompt);
  // A visible answer typed at the terminal (a challenge, say); no terminal is bad input.
  std::string ReadLine(std::string_view prompt);
  // A yes/no question at the terminal; false without a terminal.
  bool Confirm(std::string_view question);
  // Whether a person can be asked: secrets come from the terminal and there is one.
  bool CanAsk() const;
  bool SecretsFromStdin() const noexcept { return m_secretsFromStdin; }
  // The next line of standard input, which may hold a secret; its end is bad input.
  static Secret ReadStandardInputLine(std::size_t capacity = Secret::kMaxLength);

 private:
  bool m_secretsFromStdin;
};

}  // namespace ov::cli
