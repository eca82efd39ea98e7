#include "app/core/LibrarySession.h"

#include <optional>
#include <string>
#include <vector>

#include "app/core/AppLog.h"
#include "app/core/Navigation.h"
#include "app/core/SharedValues.h"
#include "app/core/TokenRecords.h"
#include "frontend/EnrollmentString.h"
#include "frontend/StoreProblem.h"
#include "frontend/TokenNaming.h"

namespace ov::app {
namespace {

// The name the application's token store and its single-instance lock go by.
constexpr const wchar_t kUniqueId[] = L"KLSA_GA_8_2";

}  // namespace

bool IsEnrollmentString(std::string_view text) {
  const std::optional<std::string> padded = frontend::CheckIfBase64Relaxed(text);
  return padded && frontend::CheckIfBase64ConnectionString(*padded);
}

int32_t LibrarySession::initialize() {
  const int32_t result = OV_InitializeW(kUniqueId, 0);
  m_initialized = result == OV_OK;
  return result;
}

int32_t LibrarySession::importLegacyToken() {
  AppLog log("COrvantiApp::ImportLegacyToken");
  const int32_t count = CountListedTokens();
  if (count < 0) {
    log.Message("OV_GetTokenList call failed");
    return OV_ERR_OPERATION_FAILED;
  }
  if (count >= kMaxTokens) return OV_OK;  // no room for one more
  TokenList tokens;
  if (!tokens.ok()) {
    log.Message("OV_GetTokenList call failed");
    return tokens.result();
  }
  std::vector<std::string> names;
  for (const OVTokenInfoW& info : tokens) {
    names.push_back(info.m_szTokenName != nullptr ? ToUtf8(info.m_szTokenName) : std::string());
  }
  const std::wstring name = FromUtf8(frontend::GetUniqueTokenName(names));
  const int32_t result = OV_ImportLegacyTokenDataW(name.c_str());
  log.Number("result", result);
  return result;
}

void LibrarySession::shutdown() {
  Shared().destroyInternalData();
  if (m_initialized) {
    OV_ReleaseInstance();
    OV_Finalize();
    m_initialized = false;
  }
}

Text LibrarySession::FailureText(int32_t result) {
  if (frontend::IsStoreProblem(result)) {
    return Text::Literal(frontend::StoreProblemMessage(result));
  }
  // The store is held by another program of ours (the command-line one): that is the running copy
  // the user has to end, not an error of this one.
  return Text::Of(result == OV_ERR_ALREADY_INITIALIZED ? 204 : 213);
}

}  // namespace ov::app
