// HttpRequest: what every platform shares, the URL rules, the time-out and the request body. The
// channel itself is HttpRequestCurl.cpp on Linux and windows/WinHttpRequest.cpp on Windows.
#include "enroll/HttpRequest.h"

#include "common/LogFacade.h"
#include "ov/ov_api.h"

namespace ov {

namespace {

// A port text as every URL parser reads it: decimal digits only, 1 to 65535. Letters, a sign,
// blanks or a second colon make it no port at all rather than the number its first digits spell.
std::optional<std::uint32_t> PortValue(std::string_view text) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  std::uint32_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint32_t>(c - '0');
  }
  if (value == 0 || value > 65535) return std::nullopt;
  return value;
}

// User information ("name@host") and the characters that end an authority for other parsers
// ("?" and "#") would let another program read another host out of the same URL than the one
// connected to.
bool HasForeignAuthorityPart(std::string_view authority) {
  return authority.find_first_of("@?#") != std::string_view::npos;
}

}  // namespace

void HttpRequest::SetURL(std::optional<std::string_view> url) {
  LogScope log("HttpRequest::SetURL");
  if (!url) return;
  log.Text("szURL", *url);
  m_szURL = std::string(*url);
}

void HttpRequest::SetTimeOut(std::int32_t seconds) {
  LogScope log("HttpRequest::SetTimeOut");
  log.Number("dwTimeOut", seconds);
  if (seconds == -1) {
    m_dwTimeOut = kDefaultTimeOutMs;
  } else if (static_cast<std::uint32_t>(seconds) < 2147484u) {
    m_dwTimeOut = static_cast<std::uint32_t>(seconds) * 1000u;
  } else {
    m_dwTimeOut = 0;
  }
}

bool HttpRequest::IsValidUrl() {
  LogScope log("HttpRequest::IsValidUrl");
  if (!m_szURL) {
    log.Message("URL is NULL");
    return false;
  }
  const std::string_view url = *m_szURL;
  if (url.substr(0, kHttpsTag.size()) == kHttpsTag) {
    m_bSecure = true;
    return ParseUrl(kHttpsTag.size());
  }
  if (url.substr(0, kHttpTag.size()) == kHttpTag) {
    m_bSecure = false;
    return ParseUrl(kHttpTag.size());
  }
  log.Message("Unknown scheme");
  return false;
}

bool HttpRequest::ParseUrl(std::size_t nHttpTagLen) {
  LogScope log("HttpRequest::ParseUrl");
  log.Number("nHttpTagLen", static_cast<std::int32_t>(nHttpTagLen));
  if (!m_szURL || m_szURL->size() < nHttpTagLen) return false;
  const std::string_view rest = std::string_view(*m_szURL).substr(nHttpTagLen);
  const auto slash = rest.find('/');
  if (slash == std::string_view::npos) {
    log.Message("INVALID_PARAM_OR_STATE");
    return false;
  }
  const std::string_view authority = rest.substr(0, slash);
  if (HasForeignAuthorityPart(authority)) {
    log.Message("Invalid host");
    return false;
  }
  const auto colon = authority.find(':');
  std::uint32_t port = m_bSecure ? 443 : 80;
  std::string_view host = authority;
  if (colon != std::string_view::npos) {
    host = authority.substr(0, colon);
    const std::string_view portText = authority.substr(colon + 1);
    // An empty port text ("host:/") stands for the scheme's default port, given as 0.
    const auto value = portText.empty() ? std::optional<std::uint32_t>(0) : PortValue(portText);
    if (!value) {
      log.Message("Invalid port");
      return false;
    }
    port = *value;
  }
  m_serverName = std::string(host);
  m_relativePath = std::string(rest.substr(slash + 1));
  m_dwPortNumber = port;
  log.Text("szServerName", m_serverName);
  log.Text("szRelativePath", m_relativePath);
  log.Number("dwPortNumber", static_cast<std::int32_t>(port));
  return true;
}

std::int32_t HttpRequest::HttpConnect() {
  LogScope log("HttpRequest::HttpConnect");
  if (!IsValidUrl()) return log.Return(OV_ERR_INVALID_PARAM);
  if (!HttpOpenSession() || !HttpConnectServer()) {
    HttpDisconnect();
    return log.Return(OV_ERR_OPERATION_FAILED);
  }
  return log.Return(OV_OK);
}

void HttpRequest::SetBody(std::string_view body) { m_requestBody = SecureString(body); }

}  // namespace ov
