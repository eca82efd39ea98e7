// HttpRequest's channel over WinHTTP, used synchronously: the user's Internet proxy settings and
// automatic proxy discovery choose the proxy, certificates and host names are always checked, and
// the only callback logs a secure failure.
//
// OV_ENROLL_CA_FILE names a PEM file of further certificate authorities to trust, as it does for
// libcurl: the system's roots stay trusted and the file's are added. WinHTTP has no place for
// roots of a caller's own, so with the variable set it is told to let an unknown root through
// (the only security flag ever set; dates, usage and the host name it still checks itself), and
// the server's chain is checked here instead, after the TLS handshake and before the body goes
// out: it must end in a root of the system's or in one of the file's (a chain engine whose only
// roots are those), and pass the SSL policy for the host name either way. Until then nothing but
// the request line and the fixed headers has been sent. A file that cannot be read or holds no
// certificate fails the session, never trusts less or more than it says.
#include <windows.h>

#include <wincrypt.h>
#include <winhttp.h>

#include <cctype>
#include <cstddef>
#include <cstring>
#include <memory>
#include <vector>

#include "common/LogFacade.h"
#include "common/WideText.h"
#include "enroll/HttpRequest.h"
#include "ov/ov_api.h"

namespace ov {

namespace {

constexpr DWORD kAutoDetectionFailed = 12180;  // ERROR_WINHTTP_AUTODETECTION_FAILED
// No trust file comes near this; a larger one is refused rather than read.
constexpr LONGLONG kMaxCaFileBytes = 1 << 20;

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

struct StoreCloser {
  void operator()(void* store) const noexcept { CertCloseStore(store, 0); }
};
using CertStore = std::unique_ptr<void, StoreCloser>;

struct EngineFreer {
  void operator()(void* engine) const noexcept {
    CertFreeCertificateChainEngine(static_cast<HCERTCHAINENGINE>(engine));
  }
};
using ChainEngine = std::unique_ptr<void, EngineFreer>;

struct CertificateFreer {
  void operator()(const CERT_CONTEXT* certificate) const noexcept {
    CertFreeCertificateContext(certificate);
  }
};

struct ChainFreer {
  void operator()(const CERT_CHAIN_CONTEXT* chain) const noexcept {
    CertFreeCertificateChain(chain);
  }
};

struct FileCloser {
  void operator()(HANDLE file) const noexcept { CloseHandle(file); }
};

// The value of OV_ENROLL_CA_FILE; empty when it is not set.
std::wstring CaFileSetting() {
  const std::wstring name = ToWide(HttpRequest::kCaFileVariable);
  const DWORD size = GetEnvironmentVariableW(name.c_str(), nullptr, 0);
  if (size == 0) return {};
  std::wstring value(size, L'\0');
  const DWORD length = GetEnvironmentVariableW(name.c_str(), value.data(), size);
  value.resize(length < size ? length : 0);
  return value;
}

// Adds the certificate whose DER form `base64` holds.
bool AddCertificate(HCERTSTORE store, std::string_view base64) {
  const auto size = static_cast<DWORD>(base64.size());
  DWORD length = 0;
  if (!CryptStringToBinaryA(base64.data(), size, CRYPT_STRING_BASE64, nullptr, &length, nullptr,
                            nullptr)) {
    return false;
  }
  std::vector<BYTE> der(length);
  return CryptStringToBinaryA(base64.data(), size, CRYPT_STRING_BASE64, der.data(), &length,
                              nullptr, nullptr) &&
         CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(), length,
                                          CERT_STORE_ADD_USE_EXISTING, nullptr);
}

// The certificates of a PEM file, in a store of their own; null when the file cannot be read or
// holds none.
CertStore LoadCertificates(const std::wstring& path, LogScope& log) {
  HANDLE opened = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (opened == INVALID_HANDLE_VALUE) {
    log.Message("Cannot open the CA file");
    log.Number("GetLastError", static_cast<int32_t>(GetLastError()));
    return nullptr;
  }
  const std::unique_ptr<void, FileCloser> file(opened);
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > kMaxCaFileBytes) {
    log.Message("CA file unreadable or too large");
    return nullptr;
  }
  std::string text(static_cast<std::size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!text.empty() &&
      (!ReadFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &read, nullptr) ||
       read != text.size())) {
    log.Message("Cannot read the CA file");
    return nullptr;
  }

  CertStore store(CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, CERT_STORE_CREATE_NEW_FLAG, nullptr));
  if (!store) return nullptr;
  static constexpr std::string_view kBegin = "-----BEGIN CERTIFICATE-----";
  static constexpr std::string_view kEnd = "-----END CERTIFICATE-----";
  // Every block must be a certificate: a file that says more than can be read is refused whole.
  int32_t count = 0;
  for (std::size_t at = text.find(kBegin); at != std::string::npos; at = text.find(kBegin, at)) {
    const std::size_t body = at + kBegin.size();
    const std::size_t end = text.find(kEnd, body);
    const bool ok = end != std::string::npos &&
                    AddCertificate(store.get(), std::string_view(text).substr(body, end - body));
    if (!ok) {
      log.Message("CA file holds a block that is not a certificate");
      return nullptr;
    }
    ++count;
    at = end + kEnd.size();
  }
  log.Number("CA certificates", count);
  if (count == 0) {
    log.Message("No certificate in the CA file");
    return nullptr;
  }
  return store;
}

// Whether `certificate`'s chain, built by `engine` (null: the system's), ends in a trusted root
// and passes the SSL policy for `host`.
bool ChainIsTrusted(HCERTCHAINENGINE engine, PCCERT_CONTEXT certificate, const std::wstring& host) {
  char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
  LPSTR usages[] = {serverAuth};
  CERT_CHAIN_PARA para{};
  para.cbSize = sizeof para;
  para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
  para.RequestedUsage.Usage.cUsageIdentifier = 1;
  para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
  PCCERT_CHAIN_CONTEXT built = nullptr;
  if (!CertGetCertificateChain(engine, certificate, nullptr, certificate->hCertStore, &para, 0,
                               nullptr, &built)) {
    return false;
  }
  const std::unique_ptr<const CERT_CHAIN_CONTEXT, ChainFreer> chain(built);
  if (chain->TrustStatus.dwErrorStatus != CERT_TRUST_NO_ERROR) return false;
  std::wstring name = host;
  SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
  ssl.cbSize = sizeof ssl;
  ssl.dwAuthType = AUTHTYPE_SERVER;
  ssl.pwszServerName = name.data();
  CERT_CHAIN_POLICY_PARA policy{};
  policy.cbSize = sizeof policy;
  policy.pvExtraPolicyPara = &ssl;
  CERT_CHAIN_POLICY_STATUS status{};
  status.cbSize = sizeof status;
  return CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.get(), &policy, &status) &&
         status.dwError == 0;
}

// Whether the server that `request` is connected to presented a certificate whose chain ends in a
// root of the system's or in one of the roots `extraEngine` trusts, for `host`.
bool ServerIsTrusted(HINTERNET request, HCERTCHAINENGINE extraEngine, const std::wstring& host) {
  LogScope log("HttpRequest::ServerIsTrusted");
  PCCERT_CONTEXT presented = nullptr;
  DWORD size = sizeof presented;
  if (!WinHttpQueryOption(request, WINHTTP_OPTION_SERVER_CERT_CONTEXT, &presented, &size) ||
      presented == nullptr) {
    log.Message("No server certificate");
    log.Number("GetLastError", static_cast<int32_t>(GetLastError()));
    return false;
  }
  const std::unique_ptr<const CERT_CONTEXT, CertificateFreer> certificate(presented);
  if (ChainIsTrusted(nullptr, certificate.get(), host)) return true;
  if (ChainIsTrusted(extraEngine, certificate.get(), host)) {
    log.Message("Server certificate issued by the CA file");
    return true;
  }
  log.Message("Server certificate not trusted");
  return false;
}

// What a failed WinHTTP call says about the server, as an OVEnrollmentFailure.
std::int32_t FailureOf(DWORD error) {
  switch (error) {
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
    case ERROR_WINHTTP_CANNOT_CONNECT:
    case ERROR_WINHTTP_TIMEOUT:
    case WSAETIMEDOUT:  // a reply's time-out, as some WinHTTP implementations pass it through
      return OV_ENROLL_SERVER_NOT_REACHED;
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_INVALID_CA:
    case ERROR_WINHTTP_SECURE_INVALID_CERT:
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_REVOKED:
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
      return OV_ENROLL_CERTIFICATE_NOT_TRUSTED;
    case ERROR_WINHTTP_CONNECTION_ERROR:
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
      return OV_ENROLL_SERVER_ANSWER_WRONG;
    default:
      return OV_ENROLL_FAILURE_UNKNOWN;
  }
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
  // The CA file's certificates and the engine that trusts only them; null without the file.
  CertStore extraRoots;
  ChainEngine extraEngine;
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
  if (const std::wstring caFile = CaFileSetting(); !caFile.empty()) {
    log.Wide("caFile", caFile.c_str());
    session->extraRoots = LoadCertificates(caFile, log);
    if (!session->extraRoots) return false;
    // The structure as Windows 7 defined it, without the later dwExclusiveFlags (not needed
    // here): the size Windows still takes and the only one with an exclusive root Wine takes.
    CERT_CHAIN_ENGINE_CONFIG config{};
    config.cbSize = offsetof(CERT_CHAIN_ENGINE_CONFIG, dwExclusiveFlags);
    config.hExclusiveRoot = session->extraRoots.get();
    HCERTCHAINENGINE engine = nullptr;
    if (!CertCreateCertificateChainEngine(&config, &engine)) {
      log.Message("CertCreateCertificateChainEngine failed");
      log.Number("GetLastError", static_cast<int32_t>(GetLastError()));
      return false;
    }
    session->extraEngine.reset(engine);
  }
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
  // WinHttpSetTimeouts does not cover the wait for the reply's headers everywhere (Wine waits
  // for them as long as this option says, 90 seconds unless set): the caller's time-out does.
  if (DWORD timeOut = m_dwTimeOut;
      timeOut != 0 &&
      !WinHttpSetOption(m_session->request.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &timeOut,
                        sizeof timeOut)) {
    log.Message("WinHttpSetOption failed");
    log.Number("GetLastError", static_cast<int32_t>(GetLastError()));
    return false;
  }
  if (m_bSecure && m_session->extraEngine) {
    DWORD flags = SECURITY_FLAG_IGNORE_UNKNOWN_CA;
    if (!WinHttpSetOption(m_session->request.get(), WINHTTP_OPTION_SECURITY_FLAGS, &flags,
                          sizeof flags)) {
      log.Message("WinHttpSetOption failed");
      log.Number("GetLastError", static_cast<int32_t>(GetLastError()));
      return false;
    }
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
  // The headers first, the body once the server is known to be the one it must be.
  const DWORD length = static_cast<DWORD>(m_requestBody.size());
  if (!WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0,
                          length, 0)) {
    const DWORD error = GetLastError();
    m_failure = FailureOf(error);
    log.Message("WinHttpSendRequest failed");
    log.Number("GetLastError", static_cast<int32_t>(error));
    return false;
  }
  // WinHTTP let an unknown root through only when there is a CA file (HttpOpenRequest).
  if (m_bSecure && m_session->extraEngine &&
      !ServerIsTrusted(request, static_cast<HCERTCHAINENGINE>(m_session->extraEngine.get()),
                       NarrowToWide(m_serverName))) {
    // Reported the way WinHTTP reports a root it does not know.
    SecureFailureCallback(WINHTTP_CALLBACK_STATUS_FLAG_INVALID_CA, nullptr);
    m_failure = OV_ENROLL_CERTIFICATE_NOT_TRUSTED;
    log.Message("WinHttpSendRequest failed");
    log.Number("GetLastError", static_cast<int32_t>(ERROR_WINHTTP_SECURE_FAILURE));
    return false;
  }
  for (DWORD sent = 0; sent < length;) {
    DWORD written = 0;
    if (!WinHttpWriteData(request, m_requestBody.data() + sent, length - sent, &written) ||
        written == 0) {
      const DWORD error = GetLastError();
      m_failure = FailureOf(error);
      log.Message("WinHttpWriteData failed");
      log.Number("GetLastError", static_cast<int32_t>(error));
      return false;
    }
    sent += written;
  }
  // HttpReceiveResponse: the body read piece by piece; of each piece only the text before a NUL.
  LogScope receive("HttpRequest::HttpReceiveResponse");
  if (!WinHttpReceiveResponse(request, nullptr)) {
    const DWORD error = GetLastError();
    m_failure = FailureOf(error);
    receive.Message("WinHttpReceiveResponse failed");
    receive.Number("GetLastError", static_cast<int32_t>(error));
    return false;
  }
  std::string body;
  for (;;) {
    DWORD available = 0;
    if (!WinHttpQueryDataAvailable(request, &available)) {
      const DWORD error = GetLastError();
      m_failure = FailureOf(error);
      receive.Message("WinHttpQueryDataAvailable failed");
      receive.Number("GetLastError", static_cast<int32_t>(error));
      return false;
    }
    if (available == 0) break;
    if (body.size() + available > kMaxResponseBody) {
      m_failure = OV_ENROLL_SERVER_ANSWER_WRONG;
      receive.Message("Response body too long");
      return false;
    }
    std::vector<char> piece(available + 1, '\0');
    DWORD read = 0;
    if (!WinHttpReadData(request, piece.data(), available, &read)) {
      const DWORD error = GetLastError();
      m_failure = FailureOf(error);
      receive.Message("WinHttpReadData failed");
      receive.Number("GetLastError", static_cast<int32_t>(error));
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
  m_failure = OV_ENROLL_FAILURE_UNKNOWN;
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
