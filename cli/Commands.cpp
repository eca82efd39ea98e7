#include "cli/Commands.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <iostream>
#include <string>
#include <thread>

#include "cli/CliError.h"
#include "cli/Console.h"
#include "cli/Json.h"
#include "cli/Messages.h"
#include "cli/Terminal.h"
#include "cli/TokenStore.h"
#include "frontend/DisplayText.h"
#include "frontend/EnrollmentFailure.h"
#include "frontend/EnrollmentString.h"
#include "frontend/StringTable.h"
#include "frontend/TokenNaming.h"
#include "frontend/WipeBytes.h"

namespace ov::cli {
namespace {

using frontend::LoadOVString;
using frontend::OVString;

// The store holds at most this many tokens, as the desktop application lets the user add.
constexpr std::size_t kMaxTokens = 10;
// With --next, a time-based passcode with fewer seconds left than this waits for the next step.
constexpr int32_t kFewSeconds = 5;

const CommandOption kJson{"--json", false, "", "print JSON instead of text"};
const CommandOption kPinStdin{"--pin-stdin", false, "",
                           "read PINs from standard input, one line each, instead of the terminal"};
const CommandOption kYes{"--yes", false, "", "do not ask for confirmation"};

// The text without leading and trailing white space, as a view into it: secrets are trimmed
// without a copy that would outlive them unwiped.
std::string_view TrimView(std::string_view text) {
  const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

std::string Trim(std::string_view text) { return std::string(TrimView(text)); }

Secret TrimmedSecret(std::string_view text) {
  Secret secret;
  for (char c : TrimView(text)) secret.Append(c);
  return secret;
}

// The first sentence of a screen text whose second sentence points at a button.
std::string FirstSentence(std::string_view text) {
  const std::size_t end = text.find(". ");
  return std::string(end == std::string_view::npos ? text : text.substr(0, end + 1));
}

// A name as messages show it: stored names may hold line breaks or escape sequences.
std::string Quoted(const std::string& name) { return "\"" + frontend::DisplayName(name) + "\""; }

// A name in a command the message proposes, for the user to copy: in double quotes while the
// shell expands nothing there, otherwise in single quotes, so that a name such as `cmd` or $(cmd)
// is never run when the command is pasted.
std::string CommandArgument(const std::string& name) {
  const std::string shown = frontend::DisplayName(name);
  if (shown.find_first_of("$`\\!\"") == std::string::npos) return "\"" + shown + "\"";
  std::string quoted = "'";
  for (const char c : shown) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

[[noreturn]] void ThrowNotActivated(const TokenRecord& token) {
  if (token.state == PENDING_PIN_STATE) {
    throw CliError(kExitRefused, "The token PIN is not set yet: run orvanti-cli set-pin " +
                                     CommandArgument(token.name) + ".");
  }
  throw CliError(kExitRefused, "This token is not activated: run orvanti-cli activate " +
                                   CommandArgument(token.name) + ".");
}

[[noreturn]] void ThrowAlreadyActivated(const std::string& name) {
  throw CliError(kExitRefused, "This token is already activated: deactivate it first with "
                               "orvanti-cli reset " + CommandArgument(name) + ".");
}

[[noreturn]] void ThrowPinAlreadySet(const std::string& name) {
  throw CliError(kExitRefused, "The token PIN is already set: change it with orvanti-cli change-pin " +
                                   CommandArgument(name) + ".");
}

// A new token does not fit into a full store.
void RefuseIfStoreFull(const std::vector<TokenRecord>& tokens, std::string_view consequence) {
  if (tokens.size() < kMaxTokens) return;
  throw CliError(kExitRefused, "There are already " + std::to_string(kMaxTokens) + " tokens: " +
                                   std::string(consequence));
}

// The store, and in it the token of the name the user gave, open.
struct NamedToken {
  explicit NamedToken(const std::string& requested)
      : name(session.ResolveToken(requested)), token(name) {}
  const Session session;
  const std::string name;
  const OpenToken token;
};

// The answers every token operation may give that are not particular to it.
[[noreturn]] void ThrowForResult(int32_t result, const OpenToken& token, const char* call) {
  switch (result) {
    case OV_ERR_TOKEN_LOCKED: throw CliError(kExitLocked, LockedText(token.Info()));
    case OV_ERR_TOKEN_DEACTIVATED: throw CliError(kExitDeactivated, OVString(162));
    case OV_ERR_INVALID_PIN: throw CliError(kExitWrongPin, WrongPinText(token.Info()));
    case OV_ERR_TOKEN_NOT_ACTIVATED:
    case OV_ERR_ACTIVATION_REQUIRED: ThrowNotActivated(token.Info());
    case OV_ERR_PIN_NOT_SUPPORTED: throw CliError(kExitRefused, "This token does not use a PIN.");
    default: ThrowUnexpected(result, call);
  }
}

// Asks for and checks the PIN of a token that needs one. A right PIN that must now be changed
// comes back with changeDue set; the PIN stays verified for this process.
Secret VerifyPin(const OpenToken& token, Prompter& prompter, bool& changeDue) {
  const TokenRecord info = token.Info();
  if (info.state != ACTIVATED_STATE) ThrowNotActivated(info);
  if (info.IsLockedNow()) throw CliError(kExitLocked, LockedText(info));
  if (const std::string attempts = AttemptsText(info); !attempts.empty()) {
    std::cerr << attempts << "\n";
  }
  Secret pin = prompter.ReadSecret(OVString(158));
  if (pin.empty()) throw CliError(kExitBadInput, OVString(165));
  const int32_t result = OV_ValidatePinA(pin.c_str());
  changeDue = result == OV_ERR_CHANGE_PIN_REQUIRED;
  if (result == OV_OK || changeDue) return pin;
  if (result == OV_ERR_INVALID_PARAM) throw CliError(kExitWrongPin, OVString(160));
  ThrowForResult(result, token, "OV_ValidatePin");
}

// Checks a new PIN as the PIN screens do: its length is the policy's, and the library accepts it.
bool IsAcceptablePin(const TokenRecord& info, const Secret& pin) {
  return static_cast<int32_t>(pin.size()) == info.pinLength && OV_SetPinValidationA(pin.c_str()) == OV_OK;
}

// Sets the first PIN of a token waiting for one. At the terminal the PIN is asked twice and asked
// again after a refusal; an empty answer leaves the PIN for later when that is allowed (false).
// From standard input one line is taken and a refusal is final.
bool SetFirstPin(const OpenToken& token, Prompter& prompter, bool mayPostpone) {
  const TokenRecord info = token.Info();
  const bool interactive = !prompter.SecretsFromStdin();
  if (interactive) std::cerr << PinRuleText(info) << "\n";
  for (;;) {
    Secret pin = prompter.ReadSecret(OVString(129));
    if (pin.empty() && interactive) {
      if (mayPostpone) return false;
      throw CliError(kExitCancelled, "No PIN was set.");
    }
    if (!IsAcceptablePin(info, pin)) {
      if (!interactive) throw CliError(kExitBadInput, OVString(165));
      std::cerr << OVString(165) << "\n";
      continue;
    }
    if (interactive && prompter.ReadSecret(OVString(130)).View() != pin.View()) {
      std::cerr << OVString(167) << "\n";
      continue;
    }
    const int32_t result = OV_SetPinA(pin.c_str());
    if (result == OV_OK) return true;
    if (result == OV_ERR_INVALID_PARAM && interactive) {
      std::cerr << OVString(165) << "\n";
      continue;
    }
    if (result == OV_ERR_INVALID_PARAM) throw CliError(kExitBadInput, OVString(165));
    if (result == OV_ERR_PIN_ALREADY_SET) ThrowPinAlreadySet(token.Name());
    ThrowForResult(result, token, "OV_SetPin");
  }
}

// After activation or enrollment: a token that needs a PIN gets it now when someone can give it
// (an empty answer at the terminal leaves it for later), otherwise the user is told how to.
void OfferFirstPin(const OpenToken& token, Prompter& prompter) {
  if (!token.Info().pinRequired) return;
  if (prompter.SecretsFromStdin() || prompter.CanAsk()) {
    if (!prompter.SecretsFromStdin()) std::cerr << OVString(128) << " (leave empty to set it later).\n";
    if (SetFirstPin(token, prompter, true)) {
      std::cerr << "The token PIN is set.\n";
      return;
    }
  }
  std::cerr << "Set the token PIN later with: orvanti-cli set-pin " << CommandArgument(token.Name())
            << "\n";
}

// Replaces a verified PIN. At the terminal the new PIN is asked twice and again after a refusal
// (an empty answer gives up); from standard input one line is taken.
void ChangePin(const OpenToken& token, Prompter& prompter, const Secret& current) {
  const TokenRecord info = token.Info();
  const bool interactive = !prompter.SecretsFromStdin();
  if (interactive) std::cerr << PinRuleText(info) << "\n";
  for (;;) {
    Secret fresh = prompter.ReadSecret(OVString(153));
    if (fresh.empty() && interactive) throw CliError(kExitCancelled, "The token PIN was not changed.");
    const char* refusal = nullptr;
    if (static_cast<int32_t>(fresh.size()) != info.pinLength) {
      refusal = OVString(165);
    } else if (fresh.View() == current.View()) {
      refusal = OVString(172);
    } else if (OV_SetPinValidationA(fresh.c_str()) != OV_OK) {
      refusal = OVString(165);
    } else if (interactive && prompter.ReadSecret(OVString(154)).View() != fresh.View()) {
      refusal = OVString(167);
    }
    if (refusal == nullptr) {
      const int32_t result = OV_ChangePinA(current.c_str(), fresh.c_str());
      if (result == OV_OK) {
        std::cout << FirstSentence(OVString(138)) << "\n";
        return;
      }
      if (result != OV_ERR_INVALID_PARAM && result != OV_ERR_INVALID_PIN) {
        ThrowForResult(result, token, "OV_ChangePin");
      }
      refusal = OVString(165);
    }
    if (!interactive) throw CliError(kExitBadInput, refusal);
    std::cerr << refusal << "\n";
  }
}

// Opens the verified state an operation on an activated token with a PIN needs.
void AuthenticateIfNeeded(const OpenToken& token, Prompter& prompter) {
  const TokenRecord info = token.Info();
  if (info.state != ACTIVATED_STATE || !info.pinRequired) return;
  bool changeDue = false;
  VerifyPin(token, prompter, changeDue);
}

// A confirmation for a step that cannot be undone; --yes answers it.
void RequireConfirmation(const Arguments& args, Prompter& prompter, const char* warning,
                         std::string_view question) {
  if (args.Has("--yes")) return;
  std::cerr << warning << "\n";
  if (!prompter.Confirm(question)) {
    throw CliError(kExitCancelled, "Nothing was changed (confirm at a terminal, or pass --yes).");
  }
}

void PrintTokenJson(const TokenRecord& token, bool details, std::string_view indent) {
  JsonObject object(std::cout, indent);
  object.String("name", token.name);
  object.String("state", StateKey(token.state));
  object.Number("stateCode", token.state);
  object.OptionalString("mode", token.mode);
  object.Bool("pinRequired", token.pinRequired);
  object.Bool("locked", token.IsLockedNow());
  object.Number("lockTimeLeft", token.IsLockedNow() ? token.lockTimeLeft : 0);
  if (!details) return;
  object.String("policy", token.policy);
  object.String("policyLevel", token.policyLevel);
  object.String("serialNumber", token.serialNumber);
  object.String("version", token.sdkVersion);
  object.Number("pinLength", token.pinLength);
  object.Number("challengeLength", token.challengeLength);
  object.Number("timeStep", token.timeStep);
  object.Number("maxAttacks", token.maxAttacks);
  object.Number("badPinCount", token.badPinCount);
}

// Display width of UTF-8 text: one column per character.
std::size_t Width(std::string_view text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

std::string LockColumn(const TokenRecord& token) {
  if (!token.IsLockedNow()) return "-";
  return std::to_string(MinutesLeft(token)) + " min";
}

// ---------------------------------------------------------------------------------------------

int RunList(const Arguments& args) {
  const Session session;
  std::vector<TokenRecord> tokens = session.ListTokens();
  // By name, ignoring case, so that the order does not depend on where the store put a file.
  auto folded = [](std::string name) {
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
  };
  std::sort(tokens.begin(), tokens.end(), [&](const TokenRecord& a, const TokenRecord& b) {
    return std::pair(folded(a.name), a.name) < std::pair(folded(b.name), b.name);
  });
  if (args.Has("--json")) {
    std::cout << "[";
    for (std::size_t i = 0; i < tokens.size(); ++i) {
      std::cout << (i == 0 ? "\n  " : ",\n  ");
      PrintTokenJson(tokens[i], false, "  ");
    }
    std::cout << (tokens.empty() ? "]\n" : "\n]\n");
    return kExitOk;
  }
  if (tokens.empty()) {
    std::cout << "No tokens yet. Create one with: orvanti-cli new NAME\n";
    return kExitOk;
  }
  const std::vector<std::string> headers = {"NAME", "STATE", "MODE", "PIN", "LOCKED"};
  std::vector<std::vector<std::string>> rows;
  for (const TokenRecord& token : tokens) {
    rows.push_back({frontend::DisplayName(token.name), StateName(token.state), ModeName(token),
                    OVString(token.pinRequired ? 207 : 208), LockColumn(token)});
  }
  std::vector<std::size_t> widths(headers.size());
  for (std::size_t c = 0; c < headers.size(); ++c) {
    widths[c] = Width(headers[c]);
    for (const auto& row : rows) widths[c] = std::max(widths[c], Width(row[c]));
  }
  auto printRow = [&](const std::vector<std::string>& row) {
    for (std::size_t c = 0; c < row.size(); ++c) {
      std::cout << row[c];
      if (c + 1 < row.size()) std::cout << std::string(widths[c] - Width(row[c]) + 2, ' ');
    }
    std::cout << "\n";
  };
  printRow(headers);
  for (const auto& row : rows) printRow(row);
  return kExitOk;
}

// From the token list: showing a token does not open it, which would derive its keys and save it.
int RunInfo(const Arguments& args) {
  const Session session;
  const TokenRecord info = session.FindToken(args.positionals[0]);
  if (args.Has("--json")) {
    PrintTokenJson(info, true, "");
    std::cout << "\n";
    return kExitOk;
  }
  auto line = [](std::string_view label, const std::string& value) {
    std::cout << label << std::string(label.size() < 18 ? 18 - label.size() : 1, ' ') << value << "\n";
  };
  line("Token:", frontend::DisplayName(info.name));
  line("State:", StateName(info.state));
  line(OVString(118), ModeName(info));
  line(OVString(119), info.policy);
  line(OVString(173), info.policyLevel);
  line(OVString(120), OVString(info.pinRequired ? 207 : 208));
  if (!info.serialNumber.empty()) line(OVString(122), frontend::DisplayName(info.serialNumber));
  if (info.IsMode(OV_MODE_TEXT_TIME_SYNCHRONOUS)) line("Time step:", std::to_string(info.timeStep) + " s");
  if (info.IsMode(OV_MODE_TEXT_CHALLENGE_RESPONSE)) {
    line("Challenge length:", std::to_string(info.challengeLength));
  }
  if (info.maxAttacks > 0) {
    line("Wrong PINs:", std::to_string(info.badPinCount) + " of " + std::to_string(info.maxAttacks));
  }
  if (info.IsLockedNow()) line("Locked:", LockedText(info));
  line(OVString(124), info.sdkVersion);
  return kExitOk;
}

int RunNew(const Arguments& args) {
  const std::string name = Trim(args.positionals[0]);
  if (name.empty()) throw CliError(kExitBadInput, OVString(166));
  const Session session;
  const std::vector<TokenRecord> tokens = session.ListTokens();
  for (const TokenRecord& token : tokens) {
    if (SameTokenName(token.name, name)) throw CliError(kExitBadInput, OVString(191));
  }
  RefuseIfStoreFull(tokens, "delete one before adding another.");
  const OpenToken token(name);
  std::cout << "Created token " << Quoted(name) << ". Activate it with: orvanti-cli activate "
            << CommandArgument(name) << "\n";
  return kExitOk;
}

int RunActivate(const Arguments& args) {
  const NamedToken opened(args.positionals[0]);
  const OpenToken& token = opened.token;
  if (token.Info().state != INSTALLED_STATE) ThrowAlreadyActivated(opened.name);
  const std::optional<std::string> policy = args.Value("--policy");
  char code[OV_ACTIVATION_CODE_SIZE] = {};
  const int32_t result =
      OV_GenerateActivationCodeA(policy && !policy->empty() ? policy->c_str() : nullptr, code);
  if (result == OV_ERR_INVALID_PARAM) throw CliError(kExitBadInput, OVString(194));
  if (result != OV_OK) ThrowForResult(result, token, "OV_GenerateActivationCode");
  std::cerr << OVString(131) << ":\n";
  std::cout << code << std::endl;
  std::cerr << "Use the Activation Code to activate the token on your device.\n";

  Prompter prompter(args.Has("--pin-stdin"));
  OfferFirstPin(token, prompter);
  return kExitOk;
}

int RunSetPin(const Arguments& args) {
  const NamedToken opened(args.positionals[0]);
  const OpenToken& token = opened.token;
  const TokenRecord info = token.Info();
  if (info.state == INSTALLED_STATE) ThrowNotActivated(info);
  if (!info.pinRequired) throw CliError(kExitRefused, "This token does not use a PIN.");
  if (info.state == ACTIVATED_STATE) ThrowPinAlreadySet(opened.name);
  Prompter prompter(args.Has("--pin-stdin"));
  SetFirstPin(token, prompter, false);
  std::cout << "The token PIN is set.\n";
  return kExitOk;
}

// The challenge of a challenge-response token: the option, or asked at the terminal.
std::string ReadChallenge(const Arguments& args, const TokenRecord& info, Prompter& prompter) {
  std::string challenge = args.Value("--challenge").value_or("");
  if (!args.Value("--challenge")) challenge = Trim(prompter.ReadLine(OVString(140)));
  if (challenge.empty()) throw CliError(kExitBadInput, OVString(176));
  if (static_cast<int32_t>(challenge.size()) != info.challengeLength) {
    throw CliError(kExitBadInput, LoadOVString(196, info.challengeLength));
  }
  return challenge;
}

int32_t HostIndex(const Arguments& args) {
  const std::optional<std::string> text = args.Value("--host");
  if (!text) return 0;
  int32_t host = 0;
  const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), host);
  if (error != std::errc() || end != text->data() + text->size() || host < 1 || host > 9) {
    throw CliError(kExitBadInput, "The host number must be 1 to 9.");
  }
  return host;
}

int32_t RemainingSeconds() {
  int32_t seconds = 0;
  return OV_GetRemainingTickCount(&seconds) == OV_OK ? seconds : -1;
}

// Waits until a time step begins: the seconds left jump up when it does.
void WaitForNextStep() {
  int32_t last = RemainingSeconds();
  if (last < 0) return;
  std::this_thread::sleep_for(std::chrono::seconds(std::max(last - 1, 0)));
  for (int polls = 0; polls < 40; ++polls) {
    const int32_t now = RemainingSeconds();
    if (now < 0 || now > last) return;
    last = now;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

int RunCode(const Arguments& args) {
  const NamedToken opened(args.positionals[0]);
  const OpenToken& token = opened.token;
  TokenRecord info = token.Info();
  if (info.state != ACTIVATED_STATE) ThrowNotActivated(info);
  Prompter prompter(args.Has("--pin-stdin"));
  if (info.pinRequired) {
    bool changeDue = false;
    const Secret pin = VerifyPin(token, prompter, changeDue);
    if (changeDue) {
      if (prompter.SecretsFromStdin() || !prompter.CanAsk()) {
        throw CliError(kExitRefused, "The token PIN must be changed before the next passcode: run "
                                     "orvanti-cli change-pin " + CommandArgument(opened.name) + ".");
      }
      std::cerr << "The token PIN must be changed now.\n";
      ChangePin(token, prompter, pin);
    }
  }
  std::string challenge;
  if (info.IsMode(OV_MODE_TEXT_CHALLENGE_RESPONSE)) challenge = ReadChallenge(args, info, prompter);
  const char* challengeArg = challenge.empty() ? nullptr : challenge.c_str();
  const int32_t host = HostIndex(args);
  const bool timeBased = info.IsMode(OV_MODE_TEXT_TIME_SYNCHRONOUS);
  if (timeBased && args.Has("--next")) {
    const int32_t left = RemainingSeconds();
    if (left >= 0 && left < kFewSeconds) WaitForNextStep();
  }

  int32_t length = 0;
  int32_t result = OV_GenerateOtpA(challengeArg, host, nullptr, &length);
  if (result == OV_OK) {
    std::string passcode(static_cast<std::size_t>(length) + 1, '\0');
    result = OV_GenerateOtpA(challengeArg, host, passcode.data(), &length);
    if (result == OV_OK) {
      passcode.resize(static_cast<std::size_t>(length));
      std::cout << passcode << std::endl;
      if (timeBased) {
        std::cerr << OVString(177) << " " << RemainingSeconds() << " " << OVString(214) << "\n";
      }
      return kExitOk;
    }
  }
  if (result == OV_ERR_INVALID_PARAM && challengeArg != nullptr) {
    throw CliError(kExitBadInput, OVString(164));
  }
  if (result == OV_ERR_INVALID_PARAM && host != 0) {
    throw CliError(kExitBadInput, "This token does not take that host number.");
  }
  ThrowForResult(result, token, "OV_GenerateOtp");
}

int RunChangePin(const Arguments& args) {
  const NamedToken opened(args.positionals[0]);
  const OpenToken& token = opened.token;
  const TokenRecord info = token.Info();
  if (!info.pinRequired) throw CliError(kExitRefused, "This token does not use a PIN.");
  Prompter prompter(args.Has("--pin-stdin"));
  bool changeDue = false;
  const Secret current = VerifyPin(token, prompter, changeDue);
  ChangePin(token, prompter, current);
  return kExitOk;
}

int RunRename(const Arguments& args) {
  const std::string newName = Trim(args.positionals[1]);
  if (newName.empty()) throw CliError(kExitBadInput, OVString(202));
  const NamedToken opened(args.positionals[0]);
  const OpenToken& token = opened.token;
  const TokenRecord info = token.Info();
  if (info.state != ACTIVATED_STATE) ThrowNotActivated(info);
  Prompter prompter(args.Has("--pin-stdin"));
  AuthenticateIfNeeded(token, prompter);
  const int32_t result = OV_ChangeTokenNameA(ToLibraryText(newName, "The new name").c_str());
  if (result == OV_ERR_DUPLICATE_TOKEN_NAME) throw CliError(kExitBadInput, OVString(191));
  if (result == OV_ERR_INVALID_PARAM) throw CliError(kExitBadInput, OVString(192));
  if (result != OV_OK) ThrowForResult(result, token, "OV_ChangeTokenName");
  std::cout << FirstSentence(OVString(136)) << "\n";
  return kExitOk;
}

int RunReset(const Arguments& args) {
  const NamedToken opened(args.positionals[0]);
  const OpenToken& token = opened.token;
  if (token.Info().state == INSTALLED_STATE) {
    std::cout << "The token is not activated; nothing to deactivate.\n";
    return kExitOk;
  }
  Prompter prompter(args.Has("--pin-stdin"));
  RequireConfirmation(args, prompter, OVString(142), "Deactivate " + Quoted(opened.name) + "?");
  AuthenticateIfNeeded(token, prompter);
  const int32_t result = OV_ResetToken();
  if (result != OV_OK) ThrowForResult(result, token, "OV_ResetToken");
  std::cout << "The token " << Quoted(opened.name) << " is deactivated. Activate it again to use it.\n";
  return kExitOk;
}

int RunDelete(const Arguments& args) {
  const NamedToken opened(args.positionals[0]);
  const OpenToken& token = opened.token;
  Prompter prompter(args.Has("--pin-stdin"));
  RequireConfirmation(args, prompter, OVString(145), "Delete " + Quoted(opened.name) + "?");
  AuthenticateIfNeeded(token, prompter);
  const int32_t result = OV_DeleteToken();
  if (result != OV_OK) ThrowForResult(result, token, "OV_DeleteToken");
  std::cout << "The token " << Quoted(opened.name) << " is deleted.\n";
  return kExitOk;
}

int RunImportLegacy(const Arguments& args) {
  const Session session;
  const std::vector<TokenRecord> before = session.ListTokens();
  RefuseIfStoreFull(before, "nothing was imported.");
  std::string name;
  if (!args.positionals.empty()) {
    name = Trim(args.positionals[0]);
    if (name.empty()) throw CliError(kExitBadInput, OVString(166));
  } else {
    std::vector<std::string> names;
    for (const TokenRecord& token : before) names.push_back(token.name);
    name = frontend::GetUniqueTokenName(names);
  }
  const int32_t result = OV_ImportLegacyTokenDataA(ToLibraryText(name, "The name").c_str());
  if (result == OV_ERR_NOT_INITIALIZED || result == OV_ERR_INVALID_PARAM) {
    throw CliError(kExitBadInput, OVString(166));
  }
  if (result != OV_OK) ThrowUnexpected(result, "OV_ImportLegacyTokenData");
  int imported = 0;
  for (const TokenRecord& token : session.ListTokens()) {
    const bool known = std::any_of(before.begin(), before.end(),
                                   [&](const TokenRecord& old) { return old.name == token.name; });
    if (known) continue;
    std::cout << "Imported the earlier token as " << Quoted(token.name) << ".\n";
    ++imported;
  }
  if (imported == 0) std::cout << "There was no earlier token to import.\n";
  return kExitOk;
}


// The soft PIN ("OTP PIN") rule the enrollment server sent.
std::string SoftPinRuleText(int32_t minimum, int32_t maximum, int32_t complexity) {
  if (complexity != 0) {
    return minimum == maximum ? LoadOVString(232, minimum) : LoadOVString(216, minimum, maximum);
  }
  return minimum == maximum ? LoadOVString(218, minimum) : LoadOVString(190, minimum, maximum);
}

// The soft PIN the server asks for: at the terminal asked twice and again after a refusal; from
// standard input one line, refused for good when it breaks the rule.
Secret ReadSoftPin(Prompter& prompter, int32_t minimum, int32_t maximum, int32_t complexity) {
  const bool interactive = !prompter.SecretsFromStdin();
  std::cerr << SoftPinRuleText(minimum, maximum, complexity) << "\n";
  for (;;) {
    Secret softPin = prompter.ReadSecret(OVString(151));
    if (softPin.empty() && interactive) continue;
    const char* refusal = nullptr;
    if (OV_SetOTPValidationA(softPin.c_str(), minimum, maximum, complexity) != OV_OK) {
      refusal = OVString(195);
    } else if (interactive && prompter.ReadSecret(OVString(227)).View() != softPin.View()) {
      refusal = OVString(215);
    }
    if (refusal == nullptr) return softPin;
    if (!interactive) throw CliError(kExitBadInput, refusal);
    std::cerr << refusal << "\n";
  }
}

struct EnrollmentSource {
  std::string url;
  std::string userId;
  std::optional<Secret> password;
};

// URL, user ID and perhaps the password: from the options, or from an enrollment string, whose
// values the options override.
EnrollmentSource ReadEnrollmentSource(const Arguments& args, Prompter& prompter) {
  EnrollmentSource source;
  if (auto text = args.Value("--enrollment-string")) {
    // "-": the string is the next line of standard input, out of sight of other users.
    constexpr std::size_t kEnrollmentStringCapacity = 4096;
    const Secret fromStdin =
        *text == "-" ? Prompter::ReadStandardInputLine(kEnrollmentStringCapacity) : Secret();
    auto parsed = frontend::ParseEnrollmentString(TrimView(*text == "-" ? fromStdin.View() : *text));
    ov::frontend::WipeBytes(text->data(), text->size());
    if (!parsed) throw CliError(kExitBadInput, "The enrollment string does not meet requirements.");
    source.url = parsed->url;
    source.userId = parsed->userId.value_or("");
    if (parsed->passphrase) {
      source.password = TrimmedSecret(*parsed->passphrase);
      ov::frontend::WipeBytes(parsed->passphrase->data(), parsed->passphrase->size());
    }
  }
  if (const auto url = args.Value("--url")) source.url = *url;
  if (const auto user = args.Value("--user")) source.userId = *user;
  source.url = Trim(source.url);
  if (source.url.empty()) throw CliError(kExitBadInput, "Give the enrollment URL with --url or --enrollment-string.");
  if (!source.url.starts_with("https://") || source.url.size() == std::string_view("https://").size()) {
    throw CliError(kExitBadInput, OVString(169));
  }
  if (source.userId.empty()) source.userId = prompter.ReadLine(OVString(116));
  source.userId = Trim(source.userId);
  if (!source.password) {
    source.password = TrimmedSecret(prompter.ReadSecret(OVString(117)).View());
  }
  if (source.userId.empty() || source.password->empty()) throw CliError(kExitBadInput, OVString(170));
  return source;
}

int32_t TimeOut(const Arguments& args) {
  const std::optional<std::string> text = args.Value("--timeout");
  if (!text) return 0;
  int32_t seconds = 0;
  const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), seconds);
  if (error != std::errc() || end != text->data() + text->size() || seconds < 1) {
    throw CliError(kExitBadInput, "The time-out is a number of seconds above 0.");
  }
  return seconds;
}

// The failure text, after the sentence that names the kind of failure when the library knows it.
std::string EnrollmentFailedText() {
  const int reason = frontend::EnrollmentFailureStringId(frontend::LastEnrollmentFailure());
  if (reason == 0) return OVString(189);
  return std::string(OVString(reason)) + " " + OVString(189);
}

[[noreturn]] void ThrowEnrollmentFailure(int32_t result) {
  switch (result) {
    case OV_ERR_INVALID_PARAM:
      throw CliError(kExitBadInput, "The enrollment URL, user ID, password or OTP PIN does not meet requirements.");
    case OV_ERR_OPERATION_FAILED:
      throw CliError(kExitEnrollment, EnrollmentFailedText());
    case OV_ERR_SOFT_PIN_REQUIRED:
      throw CliError(kExitEnrollment, "The enrollment server asks for an OTP PIN.");
    case OV_ERR_SOFT_PIN_NOT_ALLOWED:
      throw CliError(kExitEnrollment, "The enrollment server does not take an OTP PIN.");
    default: ThrowUnexpected(result, "OV_PerformAutoEnrollment");
  }
}

// Runs the exchange; when the server asks for a soft PIN, asks for one and runs it again from the
// start.
void PerformAutoEnrollment(const EnrollmentSource& source, int32_t timeOut, Prompter& prompter) {
  const std::string url = ToLibraryText(source.url, "The URL");
  const std::string userId = ToLibraryText(source.userId, "The user ID");
  int32_t minimum = 0, maximum = 0, complexity = 0;
  int32_t result = OV_PerformAutoEnrollmentA(url.c_str(), userId.c_str(),
                                             source.password->c_str(), nullptr, nullptr, timeOut,
                                             &minimum, &maximum, &complexity);
  if (result == OV_ERR_SOFT_PIN_REQUIRED) {
    const Secret softPin = ReadSoftPin(prompter, minimum, maximum, complexity);
    result = OV_PerformAutoEnrollmentA(url.c_str(), userId.c_str(),
                                       source.password->c_str(), softPin.c_str(), nullptr, timeOut,
                                       &minimum, &maximum, &complexity);
  }
  if (result != OV_OK) ThrowEnrollmentFailure(result);
}

int RunEnroll(const Arguments& args) {
  const std::string name = Trim(args.positionals[0]);
  if (name.empty()) throw CliError(kExitBadInput, OVString(166));
  Prompter prompter(args.Has("--password-stdin"));
  const int32_t timeOut = TimeOut(args);

  const Session session;
  const std::vector<TokenRecord> tokens = session.ListTokens();
  std::string tokenName = name;
  bool created = true;
  for (const TokenRecord& token : tokens) {
    if (!SameTokenName(token.name, name)) continue;
    if (token.state != INSTALLED_STATE) ThrowAlreadyActivated(token.name);
    tokenName = token.name;
    created = false;
  }
  if (created) RefuseIfStoreFull(tokens, "delete one before adding another.");
  const EnrollmentSource source = ReadEnrollmentSource(args, prompter);
  const OpenToken token(tokenName);
  try {
    PerformAutoEnrollment(source, timeOut, prompter);
  } catch (const CliError&) {
    // A token made for this enrollment goes again; one that existed stays as it was.
    if (created) OV_DeleteToken();
    throw;
  }
  const TokenRecord info = token.Info();
  std::cout << "The token " << Quoted(tokenName) << " is enrolled";
  if (!info.serialNumber.empty()) {
    std::cout << " (" << OVString(122) << " " << frontend::DisplayName(info.serialNumber) << ")";
  }
  std::cout << ".\n";
  OfferFirstPin(token, prompter);
  return kExitOk;
}

const std::vector<Command> kCommands = {
    {"list", "[--json]", "list the tokens: name, state, mode, PIN, lock time left", "", {kJson}, 0, 0,
     RunList},
    {"info", "NAME [--json]", "show everything about one token", "", {kJson}, 1, 1, RunInfo},
    {"new", "NAME", "create a token (then activate it)",
     "Leading and trailing blanks are dropped; names differing only in letter case count as the\n"
     "same name.",
     {}, 1, 1, RunNew},
    {"activate", "NAME [--policy STRING] [--pin-stdin]",
     "manual activation: print the activation code, then set the token PIN",
     "Without --policy the default policy applies. The activation code alone goes to standard\n"
     "output. When the policy needs a PIN it is asked for twice at the terminal (leave it empty\n"
     "to set it later with set-pin), or read once from standard input with --pin-stdin.",
     {{"--policy", true, "STRING", "the token policy string from your administrator"}, kPinStdin}, 1, 1,
     RunActivate},
    {"enroll", "NAME (--url URL [--user ID] | --enrollment-string S) [--password-stdin] [--timeout S]",
     "automatic enrollment with your enrollment server",
     "Creates the token when there is none of that name. The enrollment string from your\n"
     "administrator (base64) may carry the URL, user ID and password; --url and --user override\n"
     "it. The password, and an OTP PIN when the server asks for one, are read at the terminal\n"
     "without echo, or with --password-stdin one line each from standard input (then also the\n"
     "token PIN when the token needs one). A token made by a failed enrollment is removed again.",
     {{"--url", true, "URL", "the enrollment server's address (https://...)"},
      {"--user", true, "ID", "your user ID at the enrollment server"},
      {"--enrollment-string", true, "S", "the enrollment string from your administrator (\"-\": read it from standard input)"},
      {"--password-stdin", false, "", "read the password and PINs from standard input, one line each"},
      {"--timeout", true, "S", "seconds to wait for the server (default 60)"}},
     1, 1, RunEnroll},
    {"set-pin", "NAME [--pin-stdin]", "set the PIN of a token activated without one yet", "",
     {kPinStdin}, 1, 1, RunSetPin},
    {"code", "NAME [--challenge C] [--host N] [--next] [--pin-stdin]", "print a passcode",
     "Asks for the token PIN when the token has one. The passcode alone goes to standard output;\n"
     "for a time-based token the seconds it stays valid go to standard error.",
     {{"--challenge", true, "C", "the challenge code of a challenge-response token"},
      {"--host", true, "N", "the host number (1 to 9) of a multi-host token"},
      {"--next", false, "", "with fewer than 5 seconds left, wait for the next time step"},
      kPinStdin},
     1, 1, RunCode},
    {"change-pin", "NAME [--pin-stdin]", "change the token PIN",
     "With --pin-stdin two lines are read: the current PIN, then the new one.", {kPinStdin}, 1, 1,
     RunChangePin},
    {"rename", "NAME NEWNAME [--pin-stdin]", "give a token another name", "", {kPinStdin}, 2, 2,
     RunRename},
    {"reset", "NAME [--yes] [--pin-stdin]", "deactivate a token (it must be activated again)", "",
     {kYes, kPinStdin}, 1, 1, RunReset},
    {"delete", "NAME [--yes] [--pin-stdin]", "delete a token for good", "", {kYes, kPinStdin}, 1, 1,
     RunDelete},
    {"import-legacy", "[NAME]", "import a token kept by an earlier version",
     "Without NAME the token is named like a new token of the desktop application.", {}, 0, 1,
     RunImportLegacy},
};

}  // namespace

std::span<const Command> Commands() { return kCommands; }

}  // namespace ov::cli
