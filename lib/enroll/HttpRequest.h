// HttpRequest: the channel between the enrollment driver and the enrollment server. It takes the
// enrollment URL, opens one session for it, and then, once per DSKPP exchange, POSTs a request
// body with the DSKPP headers, reads the whole response body and keeps three response headers
// (Content-Type, Cache-Control, Pragma) for the driver to check. The bodies are opaque text to
// it. Both exchanges of a run go over the one connection the session keeps.
//
// The transfer is libcurl's. Certificates and host names are always verified and nothing can
// turn that off. The trust store is the system's; the environment variable OV_ENROLL_CA_FILE may
// name a PEM file of further certificate authorities to trust (the tests' own authority), which
// libcurl loads as its CA file while the system's certificate folder stays in use. Proxies come
// from libproxy, asked again for every request: environment variables, desktop settings, PAC
// scripts and WPAD. What libproxy cannot tell (no answer, an unknown kind of proxy) means a direct
// connection.
// Neither library is linked: both are opened at the first connection of the process (HttpStack),
// and without them HttpConnect fails like any other failure to open the session.
//
// The URL rules are the client's own, not libcurl's: "https://" or "http://", then the host, an
// optional ":port" and a "/" that must follow the host; everything after that "/" is the path.
// The URL libcurl is given is rebuilt from these parts, and a URL whose host libcurl would read
// differently (user information before an "@", say) is refused at connection time.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "common/SecureMemory.h"

namespace ov {

class HttpRequest {
 public:
  static constexpr std::uint32_t kDefaultTimeOutMs = 60000;
  static constexpr std::string_view kUserAgent = "Orvanti SDK 8.3.5 for Windows";
  static constexpr const char* kCaFileVariable = "OV_ENROLL_CA_FILE";
  static constexpr std::string_view kHttpsTag = "https://";
  static constexpr std::string_view kHttpTag = "http://";
  // The request headers, in the order they are added.
  static constexpr std::array<const char*, 5> kRequestHeaders = {
      "Content-Type: application/dskpp+xml", "Pragma: no-cache", "Content-Language: en-us",
      "Accept: application/dskpp+xml", "Cache-Control: no-cache, no-store"};
  // A reply larger than this is refused: no enrollment reply comes near it.
  static constexpr std::size_t kMaxResponseBody = 1 << 20;

  HttpRequest();
  ~HttpRequest();
  HttpRequest(const HttpRequest&) = delete;
  HttpRequest& operator=(const HttpRequest&) = delete;

  // Replaces the URL; an absent one is ignored.
  void SetURL(std::optional<std::string_view> url);
  // Seconds for connecting and for the whole of each exchange: -1 gives 60000 ms; a value below
  // 2147484 (compared unsigned) gives value x 1000 ms; anything else gives 0, no time-out.
  void SetTimeOut(std::int32_t seconds);
  // Checks the URL (6002 when refused) and opens the session and the connection (6003 when they
  // fail).
  std::int32_t HttpConnect();
  // The body of the next POST (it may hold a soft PIN, so it is wiped when replaced).
  void SetBody(std::string_view body);
  // One POST exchange on the open connection: 0, or 6003 when sending or receiving fails (also a
  // rejected certificate and a time-out). The response's headers replace the stored ones only on
  // success.
  std::int32_t HttpSendMessage();
  // Why the last HttpSendMessage failed, as an OVEnrollmentFailure: the server not reached, its
  // certificate refused, or a reply that broke off or was too long; 0 for anything else (and
  // after success).
  std::int32_t GetFailure() const noexcept { return m_failure; }
  // The response body of the last exchange. Each piece of the body counts up to its first NUL.
  std::string GetBody() const { return m_responseBody; }
  // Closes the connection and the session.
  void HttpDisconnect();

  // The headers of the last successful exchange; absent when the response had none.
  const std::optional<std::string>& GetContentType() const noexcept { return m_contentType; }
  const std::optional<std::string>& GetCacheControl() const noexcept { return m_cacheControl; }
  const std::optional<std::string>& GetPragma() const noexcept { return m_pragma; }

  // The URL check HttpConnect makes, and the parts it yields.
  bool IsValidUrl();
  bool ParseUrl(std::size_t nHttpTagLen);
  const std::string& GetServerName() const noexcept { return m_serverName; }
  const std::string& GetRelativePath() const noexcept { return m_relativePath; }
  // 0 stands for the scheme's default port.
  std::uint32_t GetPortNumber() const noexcept { return m_dwPortNumber; }
  bool IsSecure() const noexcept { return m_bSecure; }
  std::uint32_t GetTimeOutMs() const noexcept { return m_dwTimeOut; }

 private:
  struct Session;

  bool HttpOpenSession();
  bool HttpConnectServer();
  bool HttpOpenRequest();
  void HttpSetProxyOptions();
  bool HttpAddRequestHeaders();
  bool HttpSendRequest();
  void SecureFailureCallback(int code, const char* text);

  std::optional<std::string> m_szURL;
  SecureString m_requestBody;
  std::string m_responseBody;
  std::string m_serverName;
  std::string m_relativePath;
  std::uint32_t m_dwPortNumber = 0;
  std::unique_ptr<Session> m_session;
  std::optional<std::string> m_contentType;
  std::optional<std::string> m_cacheControl;
  std::optional<std::string> m_pragma;
  std::uint32_t m_dwTimeOut = kDefaultTimeOutMs;
  bool m_bSecure = true;
  std::int32_t m_failure = 0;
};

}  // namespace ov
