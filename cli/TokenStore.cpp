#include "cli/TokenStore.h"

#include <algorithm>
#include <cctype>

#include "cli/CliError.h"
#include "cli/Console.h"
#include "frontend/DisplayText.h"
#include "frontend/StoreProblem.h"
#include "frontend/StringTable.h"

namespace ov::cli {
namespace {

std::string Text(const char* text) { return text ? FromLibraryText(text) : ""; }

TokenRecord CopyRecord(const OVTokenInfoA& info) {
  TokenRecord record;
  record.name = Text(info.m_szTokenName);
  record.policy = Text(info.m_szTokenPolicy);
  record.policyLevel = Text(info.m_szTokenPolicyLevel);
  if (info.m_szTokenMode != nullptr) record.mode = Text(info.m_szTokenMode);
  record.serialNumber = Text(info.m_szTokenSerialNo);
  record.sdkVersion = Text(info.m_szSdkVersion);
  record.state = info.m_nTokenState;
  record.challengeLength = info.m_nChallengeLength;
  record.maxAttacks = info.m_nMaxAttacks;
  record.badPinCount = info.m_nBadPinCount;
  record.lockTimeLeft = info.m_nLockTimeLeft;
  record.locked = info.m_bTokenLocked != 0;
  record.pinRequired = info.m_bPinRequired != 0;
  record.pinLength = info.m_nPinLength;
  record.timeStep = info.m_nTimeStep;
  record.trivialPinAllowed = info.m_bTrivialPinAllowed != 0;
  record.trivialPinAllowedEx = info.m_bTrivialPinAllowedEx != 0;
  return record;
}

// Owns the records of one OV_GetTokenListA call until they are given back.
class ListBuffer {
 public:
  explicit ListBuffer(int32_t count) : m_records(static_cast<std::size_t>(std::max(count, 1))) {}
  ListBuffer(const ListBuffer&) = delete;
  ListBuffer& operator=(const ListBuffer&) = delete;
  ~ListBuffer() {
    if (m_filled > 0) OV_FreeTokenListA(m_records.data(), m_filled);
  }
  OVTokenInfoA* data() noexcept { return m_records.data(); }
  void SetFilled(int32_t filled) noexcept { m_filled = filled; }
  const OVTokenInfoA& operator[](int32_t i) const { return m_records[static_cast<std::size_t>(i)]; }

 private:
  std::vector<OVTokenInfoA> m_records;
  int32_t m_filled = 0;
};

ExitCode StoreProblemExit(int32_t code) {
  switch (code) {
    case OV_ERR_STORE_NOT_PRIVATE: return kExitStoreNotPrivate;
    case OV_ERR_USER_SECRET_MISSING: return kExitSecretMissing;
    default: return kExitNoFileLocking;
  }
}

}  // namespace

bool SameTokenName(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](unsigned char x, unsigned char y) {
    return std::tolower(x) == std::tolower(y);
  });
}

void ThrowUnexpected(int32_t result, const char* call) {
  throw CliError(kExitInternal, std::string(frontend::OVString(213)) + " (" + call + " answered " +
                                    std::to_string(result) + ")");
}

Session::Session() {
  const int32_t result = OV_InitializeA(kUniqueId, 0);
  if (result == OV_ERR_ALREADY_INITIALIZED) throw CliError(kExitBusy, frontend::OVString(204));
  if (frontend::IsStoreProblem(result)) {
    throw CliError(StoreProblemExit(result), frontend::StoreProblemMessage(result));
  }
  if (result != OV_OK) ThrowUnexpected(result, "OV_Initialize");
}

Session::~Session() { OV_Finalize(); }

std::vector<TokenRecord> Session::ListTokens() const {
  int32_t count = 0;
  int32_t result = OV_GetTokenListA(nullptr, &count);
  if (result != OV_OK) ThrowUnexpected(result, "OV_GetTokenList");
  std::vector<TokenRecord> tokens;
  if (count <= 0) return tokens;
  ListBuffer buffer(count);
  result = OV_GetTokenListA(buffer.data(), &count);
  if (result != OV_OK) ThrowUnexpected(result, "OV_GetTokenList");
  buffer.SetFilled(count);
  for (int32_t i = 0; i < count; ++i) tokens.push_back(CopyRecord(buffer[i]));
  return tokens;
}

TokenRecord Session::FindToken(const std::string& name) const {
  std::vector<TokenRecord> tokens = ListTokens();
  for (TokenRecord& token : tokens) {
    if (token.name == name) return std::move(token);
  }
  TokenRecord* match = nullptr;
  int matches = 0;
  for (TokenRecord& token : tokens) {
    if (SameTokenName(token.name, name)) match = &token, ++matches;
  }
  if (matches == 1) return std::move(*match);
  throw CliError(kExitNoSuchToken,
                 "There is no token named \"" + frontend::DisplayName(name) + "\".");
}

OpenToken::OpenToken(const std::string& name) : m_name(name) {
  const int32_t result = OV_CreateInstanceA(ToLibraryText(name, "The token name").c_str(), 0);
  if (result == OV_ERR_INVALID_PARAM) throw CliError(kExitBadInput, frontend::OVString(166));
  if (result != OV_OK) ThrowUnexpected(result, "OV_CreateInstance");
}

OpenToken::~OpenToken() { OV_ReleaseInstance(); }

TokenRecord OpenToken::Info() const {
  OVTokenInfoA info{};
  const int32_t result = OV_GetTokenInfoA(&info);
  if (result != OV_OK) ThrowUnexpected(result, "OV_GetTokenInfo");
  TokenRecord record = CopyRecord(info);
  OV_FreeTokenInfoA(&info);
  return record;
}

}  // namespace ov::cli
