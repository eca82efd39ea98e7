// HttpRequest: what every platform shares, the URL rules, the time-out and the request body. The
// channel itself is HttpRequestCurl.cpp on Linux and windows/WinHttpRequest.cpp on Windows.
#include "enroll/HttpRequest.h"

#include <cctype>

#include "common/LogFacade.h"
#include "ov/ov_api.h"

namespace ov {

namespace {

// The leading number of a port text in the manner of atol (blanks, a sign, digits; no digits give
// 0); nothing for a value outside 0..65535, which would name another port once cut to 16 bits.
std::optional<std::uint32_t> PortValue(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long value = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > 65535) return std::nullopt;
  }
  if (negative && value != 0) return std::nullopt;
  return static_cast<std::uint32_t>(value);
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
  const auto colon = rest.find(':');
  std::uint32_t port = m_bSecure ? 443 : 80;
  std::string_view host = rest.substr(0, slash);
  if (colon < slash) {
    host = rest.substr(0, colon);
    const auto value = PortValue(rest.substr(colon + 1, slash - colon - 1));
    if (!value) {
      log.Message("Invalid port");
      return false;
    }
    // An empty or non-numeric port text reads as 0: the scheme's default port.
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
