// HttpRequest's channel over WinHTTP, used synchronously: the user's Internet proxy settings and
// automatic proxy discovery choose the proxy, certificates and host names are always checked (no
// security flag is ever set), and the only callback logs a secure failure.
#include <windows.h>
#include <winhttp.h>

#include <cctype>
#include <cstring>
#include <vector>

#include "common/LogFacade.h"
#include "common/WideText.h"
#include "enroll/HttpRequest.h"
#include "ov/ov_api.h"

namespace ov {

namespace {

constexpr DWORD kAutoDetectionFailed = 12180;  // ERROR_WINHTTP_AUTODETECTION_FAILED

class Handle {
 public:
  Handle() = default;
  explicit Handle(HINTERNET handle) : m_handle(handle) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() { reset(); }
  void reset(HINTERNET handle = nullptr) {
    if (m_handle != nullptr) WinHttpCloseHandle(m_handle);
    m_handle = handle;
  }
  HINTERNET get() const { return m_handle; }
  explicit operator bool() const { return m_handle != nullptr; }

 private:
  HINTERNET m_handle = nullptr;
};

// The user's Internet proxy settings; the strings WinHTTP hands out are given back with
// GlobalFree.
struct UserProxySettings {
  WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config{};
  UserProxySettings() = default;
  UserProxySettings(const UserProxySettings&) = delete;
  UserProxySettings& operator=(const UserProxySettings&) = delete;
  ~UserProxySettings() {
    for (LPWSTR text : {config.lpszAutoConfigUrl, config.lpszProxy, config.lpszProxyBypass}) {
      if (text != nullptr) GlobalFree(text);
    }
  }
  bool AutoDetect() const { return config.fAutoDetect != FALSE; }
  const wchar_t* PacUrl() const { return config.lpszAutoConfigUrl; }
  const wchar_t* Proxy() const { return config.lpszProxy; }
  const wchar_t* Bypass() const { return config.lpszProxyBypass; }
};

// Unreadable settings read as auto-detect with nothing else.
void ReadUserProxySettings(UserProxySettings& settings, LogScope& log) {
  if (!WinHttpGetIEProxyConfigForCurrentUser(&settings.config)) {
    log.Message("Error: WinHttpGetIEProxyConfigForCurrentUser failed");
    log.Number("GetLastError", static_cast<int32_t>(GetLastError()));
    settings.config = {};
    settings.config.fAutoDetect = TRUE;
  }
}

void SetNamedProxy(HINTERNET request, const wchar_t* proxy, const wchar_t* bypass,
                   LogScope& log) {
  std::wstring proxyCopy(proxy);
  std::wstring bypassCopy(bypass != nullptr ? bypass : L"<local>");
  WINHTTP_PROXY_INFO info{};
  info.dwAccessType = WINHTTP_ACCESS_TYPE_NAMED_PROXY;
  info.lpszProxy = proxyCopy.data();
  info.lpszProxyBypass = bypassCopy.data();
  if (!WinHttpSetOption(request, WINHTTP_OPTION_PROXY, &info, sizeof info)) {
    log.Message("Error: WinHttpSetOption failed");
    log.Number("GetLastError", static_cast<int32_t>(GetLastError()));
  }
}

bool ContainsNoCase(std::wstring_view text, std::wstring_view part) {
  std::wstring lower(text);
  for (wchar_t& c : lower) c = static_cast<wchar_t>(std::towlower(c));
  return lower.find(part) != std::wstring::npos;
}

// A host name as WinHTTP is given it: nothing that a URL parser would read as another part.
bool IsPlainHost(std::string_view host) {
  if (host.empty()) return false;
  for (const char c : host) {
    const auto u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u == 0x7F || std::strchr("@/\\?#%", c) != nullptr) return false;
  }
  return true;
}

void CALLBACK OnStatus(HINTERNET, DWORD_PTR, DWORD status, LPVOID information, DWORD length) {
  if (status != WINHTTP_CALLBACK_STATUS_SECURE_FAILURE) return;
  LogScope log("HttpRequest::SecureFailureCallback");
  DWORD flags = 0;
  if (information != nullptr && length >= sizeof flags) std::memcpy(&flags, information, sizeof flags);
  log.Number("dw", static_cast<int32_t>(flags));
}

}  // namespace

struct HttpRequest::Session {
  Handle session;
  Handle connection;
  Handle request;  // the open exchange's
  std::wstring url;
};

HttpRequest::HttpRequest() = default;
HttpRequest::~HttpRequest() = default;

bool HttpRequest::HttpOpenSession() {
  LogScope log("HttpRequest::HttpOpenSession");
  UserProxySettings settings;
  ReadUserProxySettings(settings, log);
  const bool pac = settings.PacUrl() != nullptr;
  const bool proxy = settings.Proxy() != nullptr;
  DWORD access = WINHTTP_ACCESS_TYPE_NO_PROXY;
  if (proxy && (!pac || settings.AutoDetect())) {
    access = WINHTTP_ACCESS_TYPE_NAMED_PROXY;
    log.Message("WinHttpOpen by named proxy");
  } else if (pac || settings.AutoDetect()) {
    log.Message("WinHttpOpen by *.pac file");
  } else {
    access = WINHTTP_ACCESS_TYPE_DEFAULT_PROXY;
    log.Message("WinHttpOpen by default proxy configuration");
  }
  const std::wstring agent = ToWide(kUserAgent);
  auto session = std::make_unique<Session>();
  session->session.reset(WinHttpOpen(
      agent.c_str(), access,
      access == WINHTTP_ACCESS_TYPE_NAMED_PROXY ? settings.Proxy() : WINHTTP_NO_PROXY_NAME,
      access == WINHTTP_ACCESS_TYPE_NAMED_PROXY ? settings.Bypass() : WINHTTP_NO_PROXY_BYPASS, 0));
  log.Wide("Proxy", settings.Proxy());
  log.Wide("Proxy by pass", settings.Bypass());
  log.Wide("Autoconfig URL", settings.PacUrl());
  if (!session->session) {
    log.Message("WinHttpOpen failed");
    log.Number("GetLastError", static_cast<int32_t>(GetLastError()));
    return false;
  }
  const int timeOut = static_cast<int>(m_dwTimeOut);
  WinHttpSetTimeouts(session->session.get(), timeOut, timeOut, timeOut, timeOut);
  session->url = NarrowToWide(*m_szURL);
  m_session = std::move(session);
  return true;
}

bool HttpRequest::HttpConnectServer() {
  LogScope log("HttpRequest::HttpConnectServer");
  if (!IsPlainHost(m_serverName)) {
    log.Message("Host name is ambiguous");
    return false;
  }
  const std::wstring host = NarrowToWide(m_serverName);
  m_session->connection.reset(WinHttpConnect(m_session->session.get(), host.c_str(),
                                             static_cast<INTERNET_PORT>(m_dwPortNumber), 0));
  if (!m_session->connection) {
    log.Message("WinHttpConnect failed");
    log.Number("GetLastError", static_cast<int32_t>(GetLastError()));
    return false;
  }
  return true;
}

bool HttpRequest::HttpOpenRequest() {
  LogScope log("HttpRequest::HttpOpenRequest");
  if (!m_session) {
    log.Message("No session");
    return false;
  }
  // The object name starts with "/", which the request line needs.
  const std::wstring object = NarrowToWide("/" + m_relativePath);
  m_session->request.reset(WinHttpOpenRequest(
      m_session->connection.get(), L"POST", object.c_str(), nullptr, WINHTTP_NO_REFERER,
      WINHTTP_DEFAULT_ACCEPT_TYPES, m_bSecure ? WINHTTP_FLAG_SECURE : 0));
  if (!m_session->request) {
    log.Message("WinHttpOpenRequest failed");
    log.Number("GetLastError", static_cast<int32_t>(GetLastError()));
    return false;
  }
  HttpSetProxyOptions();
  return true;
}

void HttpRequest::HttpSetProxyOptions() {
  LogScope log("HttpRequest::HttpSetProxyOptions");
  HINTERNET request = m_session->request.get();
  {
    LogScope step("HttpRequest::HttpSetIEProxyOptions");
    UserProxySettings settings;
    ReadUserProxySettings(settings, step);
    if (settings.Proxy() != nullptr && !settings.AutoDetect()) {
      SetNamedProxy(request, settings.Proxy(), settings.Bypass(), step);
    }
  }
  {
    LogScope step("HttpRequest::HttpAutoProxyCall");
    UserProxySettings settings;
    ReadUserProxySettings(settings, step);
    const wchar_t* pac = settings.PacUrl();
    if (pac != nullptr && (ContainsNoCase(pac, L"http://") || ContainsNoCase(pac, L"https://"))) {
      WINHTTP_AUTOPROXY_OPTIONS options{};
      options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT | WINHTTP_AUTOPROXY_CONFIG_URL;
      options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
      options.lpszAutoConfigUrl = pac;
      options.fAutoLogonIfChallenged = TRUE;
      WINHTTP_PROXY_INFO found{};
      if (WinHttpGetProxyForUrl(m_session->session.get(), m_session->url.c_str(), &options,
                                &found)) {
        if (found.lpszProxy != nullptr) SetNamedProxy(request, found.lpszProxy, found.lpszProxyBypass, step);
        if (found.lpszProxy != nullptr) GlobalFree(found.lpszProxy);
        if (found.lpszProxyBypass != nullptr) GlobalFree(found.lpszProxyBypass);
      } else if (GetLastError() == kAutoDetectionFailed) {
        step.Message(
            "Error: WinHttpGetProxyForUrl failed. a PAC URL cannot be located on the network in "
            "this scenario.");
      } else {
        step.Message("Error: WinHttpGetProxyForUrl failed");
        step.Number("GetLastError", static_cast<int32_t>(GetLastError()));
      }
    }
  }
  {
    LogScope step("HttpRequest::HttpSetDefaultProxyOptions");
    WINHTTP_PROXY_INFO defaults{};
    if (WinHttpGetDefaultProxyConfiguration(&defaults)) {
      step.Number("dwAccessType", static_cast<int32_t>(defaults.dwAccessType));
      step.Wide("lpszProxy", defaults.lpszProxy);
      step.Wide("lpszProxyBypass", defaults.lpszProxyBypass);
      if (defaults.lpszProxy != nullptr) GlobalFree(defaults.lpszProxy);
      if (defaults.lpszProxyBypass != nullptr) GlobalFree(defaults.lpszProxyBypass);
    }
  }
}

bool HttpRequest::HttpAddRequestHeaders() {
  LogScope log("HttpRequest::HttpAddRequestHeaders");
  for (const char* header : kRequestHeaders) {
    const std::wstring wide = ToWide(header);
    if (!WinHttpAddRequestHeaders(m_session->request.get(), wide.c_str(), static_cast<DWORD>(-1),
                                  WINHTTP_ADDREQ_FLAG_ADD)) {
      log.Message("WinHttpAddRequestHeaders failed");
      log.Number("GetLastError", static_cast<int32_t>(GetLastError()));
      return false;
    }
  }
  // The secure-failure notification only (HttpSetCallback).
  WinHttpSetStatusCallback(m_session->request.get(), &OnStatus,
                           WINHTTP_CALLBACK_FLAG_SECURE_FAILURE, 0);
  return true;
}

bool HttpRequest::HttpSendRequest() {
  LogScope log("HttpRequest::HttpSendRequest");
  HINTERNET request = m_session->request.get();
  if (m_requestBody.empty() || request == nullptr) {
    log.Message("Request body is empty");
    return false;
  }
  const DWORD length = static_cast<DWORD>(m_requestBody.size());
  if (!WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                          const_cast<char*>(m_requestBody.data()), length, length, 0)) {
    log.Message("WinHttpSendRequest failed");
    log.Number("GetLastError", static_cast<int32_t>(GetLastError()));
    return false;
  }
  // HttpReceiveResponse: the body read piece by piece; of each piece only the text before a NUL.
  LogScope receive("HttpRequest::HttpReceiveResponse");
  if (!WinHttpReceiveResponse(request, nullptr)) {
    receive.Message("WinHttpReceiveResponse failed");
    receive.Number("GetLastError", static_cast<int32_t>(GetLastError()));
    return false;
  }
  std::string body;
  for (;;) {
    DWORD available = 0;
    if (!WinHttpQueryDataAvailable(request, &available)) {
      receive.Message("WinHttpQueryDataAvailable failed");
      receive.Number("GetLastError", static_cast<int32_t>(GetLastError()));
      return false;
    }
    if (available == 0) break;
    if (body.size() + available > kMaxResponseBody) {
      receive.Message("Response body too long");
      return false;
    }
    std::vector<char> piece(available + 1, '\0');
    DWORD read = 0;
    if (!WinHttpReadData(request, piece.data(), available, &read)) {
      receive.Message("WinHttpReadData failed");
      receive.Number("GetLastError", static_cast<int32_t>(GetLastError()));
      return false;
    }
    body.append(piece.data(), strnlen(piece.data(), read));
  }
  m_responseBody = std::move(body);
  return true;
}

void HttpRequest::SecureFailureCallback(int code, const char*) {
  LogScope log("HttpRequest::SecureFailureCallback");
  log.Number("dw", code);
}

namespace {

// HttpQueryHeader: the header's value in the narrow encoding; nullopt when it is missing.
std::optional<std::string> QueryHeader(HINTERNET request, DWORD level) {
  LogScope log("HttpRequest::HttpQueryHeader");
  log.Number("dwInfoLevel", static_cast<int32_t>(level));
  DWORD size = 0;
  if (WinHttpQueryHeaders(request, level, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER,
                          &size, WINHTTP_NO_HEADER_INDEX) ||
      GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
    log.Message("WinHttpQueryHeaders failed");
    return std::nullopt;
  }
  std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
  if (!WinHttpQueryHeaders(request, level, WINHTTP_HEADER_NAME_BY_INDEX, value.data(), &size,
                           WINHTTP_NO_HEADER_INDEX)) {
    log.Message("WinHttpQueryHeaders failed");
    return std::nullopt;
  }
  value.resize(size / sizeof(wchar_t));
  return std::string(NarrowArgument(value.c_str()).get());
}

}  // namespace

std::int32_t HttpRequest::HttpSendMessage() {
  LogScope log("HttpRequest::HttpSendMessage");
  const bool ok = HttpOpenRequest() && HttpAddRequestHeaders() && HttpSendRequest();
  if (ok) {
    HINTERNET request = m_session->request.get();
    m_pragma = QueryHeader(request, WINHTTP_QUERY_PRAGMA);
    m_contentType = QueryHeader(request, WINHTTP_QUERY_CONTENT_TYPE);
    m_cacheControl = QueryHeader(request, WINHTTP_QUERY_CACHE_CONTROL);
    log.Number("nBodyLength", static_cast<std::int32_t>(m_responseBody.size()));
  } else {
    m_responseBody.clear();
  }
  if (m_session) m_session->request.reset();
  return log.Return(ok ? OV_OK : OV_ERR_OPERATION_FAILED);
}

void HttpRequest::HttpDisconnect() {
  LogScope log("HttpRequest::HttpDisconnect");
  m_session.reset();
}

}  // namespace ov
