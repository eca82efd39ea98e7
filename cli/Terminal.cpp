#include "cli/Terminal.h"

#include <utility>

#include "cli/CliError.h"
#include "cli/Console.h"
#include "frontend/WipeBytes.h"

namespace ov::cli {
namespace {

// Reads one line byte by byte, so that nothing after it is consumed from a shared input. Returns
// false at the end of the input with nothing read. A carriage return before the newline is
// dropped; characters past the limit are read and dropped.
template <typename Source, typename Sink>
bool ReadLineFrom(Source&& readByte, Sink&& append) {
  bool any = false;
  bool pendingReturn = false;
  for (;;) {
    char c = 0;
    if (!readByte(c)) break;
    any = true;
    if (c == '\n') break;
    if (pendingReturn) append('\r');
    pendingReturn = c == '\r';
    if (!pendingReturn) append(c);
  }
  return any;
}

bool ReadConsoleLine(Console& console, std::string& line) {
  return ReadLineFrom([&console](char& c) { return console.ReadByte(c); },
                      [&line](char c) { line.push_back(c); });
}

}  // namespace

Secret::Secret(std::size_t capacity) : m_capacity(capacity) { m_text.reserve(capacity); }
// Moving takes over the buffer itself: no copy of the text is left behind.
Secret::Secret(Secret&& other) noexcept
    : m_text(std::move(other.m_text)), m_capacity(other.m_capacity) {
  other.m_text = std::string();
}
Secret& Secret::operator=(Secret&& other) noexcept {
  if (this != &other) {
    Clear();
    m_text.swap(other.m_text);
    m_capacity = other.m_capacity;
  }
  return *this;
}
Secret::~Secret() { Clear(); }

void Secret::Append(char c) {
  if (m_text.size() < m_capacity) m_text.push_back(c);
}

void Secret::Clear() {
  ov::frontend::WipeBytes(m_text.data(), m_text.capacity());
  m_text.clear();
}

Secret Prompter::ReadStandardInputLine(std::size_t capacity) {
  Secret secret(capacity);
  if (!ReadLineFrom(ReadStandardInputByte, [&secret](char c) { secret.Append(c); })) {
    throw CliError(kExitBadInput, "Standard input ended before the expected line.");
  }
  return secret;
}

Secret Prompter::ReadSecret(std::string_view prompt) {
  if (m_secretsFromStdin) return ReadStandardInputLine();
  Secret secret;
  Console console;
  if (!console.IsOpen()) {
    throw CliError(kExitBadInput,
                   "There is no terminal to ask on: pass the answer on standard input with "
                   "--pin-stdin or --password-stdin.");
  }
  // Echo goes off before the prompt shows: switching it off discards what was typed before, so
  // nothing typed after the prompt may come before the switch.
  const Console::EchoOff quiet(console);
  console.Write(prompt);
  console.Write(": ");
  ReadLineFrom([&console](char& c) { return console.ReadByte(c); },
               [&secret](char c) { secret.Append(c); });
  return secret;
}

std::string Prompter::ReadLine(std::string_view prompt) {
  Console console;
  if (!console.IsOpen()) {
    throw CliError(kExitBadInput, std::string("There is no terminal to ask for the ") +
                                      std::string(prompt) + "; give it as an option.");
  }
  console.Write(prompt);
  console.Write(": ");
  std::string line;
  ReadConsoleLine(console, line);
  return line;
}

bool Prompter::Confirm(std::string_view question) {
  Console console;
  if (!console.IsOpen()) return false;
  console.Write(question);
  console.Write(" [y/N] ");
  std::string line;
  ReadConsoleLine(console, line);
  return line == "y" || line == "Y" || line == "yes" || line == "Yes";
}

bool Prompter::CanAsk() const {
  if (m_secretsFromStdin) return false;
  return Console().IsOpen();
}

}  // namespace ov::cli
