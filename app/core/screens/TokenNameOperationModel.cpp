#include "app/core/screens/TokenNameOperationModel.h"

#include <string>
#include <vector>

#include "app/core/AppLog.h"
#include "app/core/CaseFold.h"
#include "app/core/Navigation.h"
#include "app/core/SharedValues.h"
#include "app/core/TokenRecords.h"
#include "frontend/TokenNaming.h"

namespace ov::app {
namespace {

// Blanks around a typed name do not count: the Unicode white space a text field may hold.
bool IsBlank(wchar_t c) {
  switch (c) {
    case L' ':
    case L'\t':
    case L'\n':
    case L'\v':
    case L'\f':
    case L'\r':
    case 0x85:
    case 0xA0:
    case 0x1680:
    case 0x2028:
    case 0x2029:
    case 0x202F:
    case 0x205F:
    case 0x3000:
      return true;
    default:
      return c >= 0x2000 && c <= 0x200A;
  }
}

std::wstring_view Trimmed(std::wstring_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

void TokenNameOperationModel::OnInitDialog() {
  AppLog log("CTokenNameOperationDialog::OnInitDialog");
  m_error = {};
  std::vector<std::string> names;
  {
    TokenList tokens;
    for (const OVTokenInfoW& info : tokens) {
      names.push_back(ToUtf8(info.m_szTokenName != nullptr ? info.m_szTokenName : L""));
    }
  }
  m_name = FromUtf8(frontend::GetUniqueTokenName(names));
  m_focus = Control::Edit;
}

void TokenNameOperationModel::refuse(int textId, bool clearField) {
  m_error = textId == kStrTokenLimit ? Text::Of(textId, kMaxTokens) : Text::Of(textId);
  if (clearField) m_name.clear();
  m_focus = Control::Edit;
  ++m_focusRequest;
}

bool TokenNameOperationModel::createNewToken(std::wstring_view text) {
  AppLog log("CTokenNameOperationDialog::createNewToken");
  m_name = text;
  const std::wstring name(Trimmed(text));
  // The program may be started with an enrollment string whatever the number of tokens; the
  // limit holds on this way in as on the others.
  if (CountListedTokens() >= kMaxTokens) {
    log.Message("No room for another token");
    refuse(kStrTokenLimit, false);
    return false;
  }
  if (name.empty()) {
    refuse(166, false);
    return false;
  }
  {
    TokenList tokens;
    for (const OVTokenInfoW& info : tokens) {
      if (SameIgnoringCase(info.m_szTokenName != nullptr ? info.m_szTokenName : L"", name)) {
        refuse(191, true);
        return false;
      }
    }
  }
  OV_ReleaseInstance();  // a token left open elsewhere must not block the new one
  const int32_t result = OV_CreateInstanceW(name.c_str(), 0);
  log.Number("result", result);
  if (result == OV_ERR_INVALID_PARAM) {
    refuse(166, true);
    log.Message("INVALID PARAM PROVIDED");
    return false;
  }
  if (result != OV_OK) {
    log.Message("Create Instance Failed");
    postCancel(Cancel::kAbort);
    return false;
  }
  Shared().setTokenName(name);
  return true;
}

void TokenNameOperationModel::OnBnClickedActivate(std::wstring_view text) {
  AppLog log("CTokenNameOperationDialog::OnBnClickedActivate");
  if (createNewToken(text)) {
    postContinue(m_byUrl ? Continue::kPortalUrl : Continue::kEnrollmentMethod);
    postTitleIndicator(Indicator::kShowA);
  }
  m_byUrl = false;
}

void TokenNameOperationModel::OnBnClickedActivateLater(std::wstring_view text) {
  AppLog log("CTokenNameOperationDialog::OnBnClickedActivateLater");
  if (createNewToken(text)) {
    postCancel(Cancel::kToTokenList);
    postTitleIndicator(Indicator::kHideA);
  }
  m_byUrl = false;
}

void TokenNameOperationModel::OnBnClickedCancel() {
  AppLog log("CTokenNameOperationDialog::OnBnClickedCancel");
  postCancel(Cancel::kBackHideBack);
}

}  // namespace ov::app
