// HttpRequest's channel over libcurl and libproxy (see HttpRequest.h and HttpStack.h).
#include "enroll/HttpRequest.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>

#include "common/LogFacade.h"
#include "enroll/HttpStack.h"
#include "ov/ov_api.h"

namespace ov {

namespace {

// Not a sixth header: an empty value stops libcurl from adding "Expect: 100-continue" to larger
// bodies.
constexpr const char* kNoExpectHeader = "Expect:";

// Something one of the HTTP libraries handed out, given back through that library's own function.
template <class T, class Arg = T>
struct Release {
  void (*release)(Arg*) = nullptr;
  void operator()(T* p) const noexcept { release(p); }
};
template <class T, class Arg = T>
using Owned = std::unique_ptr<T, Release<T, Arg>>;

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
    text.remove_prefix(1);
  }
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
    text.remove_suffix(1);
  }
  return text;
}

// The proxy libcurl is to use for a libproxy answer: "" for a direct connection.
std::string CurlProxyOf(std::string_view proxy) {
  static constexpr std::string_view kKnown[] = {"http://",    "https://",  "socks4://",
                                                "socks4a://", "socks5://", "socks5h://"};
  for (const auto scheme : kKnown) {
    if (proxy.substr(0, scheme.size()) == scheme) return std::string(proxy);
  }
  if (proxy.substr(0, 8) == "socks://") return "socks5://" + std::string(proxy.substr(8));
  return {};
}

// What a failed transfer says about the server, as an OVEnrollmentFailure.
std::int32_t FailureOf(CURLcode code, bool bodyTooLong) {
  switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
    case CURLE_OPERATION_TIMEDOUT:
      return OV_ENROLL_SERVER_NOT_REACHED;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CACERT_BADFILE:
      return OV_ENROLL_CERTIFICATE_NOT_TRUSTED;
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_PARTIAL_FILE:
      return OV_ENROLL_SERVER_ANSWER_WRONG;
    case CURLE_WRITE_ERROR:
      return bodyTooLong ? OV_ENROLL_SERVER_ANSWER_WRONG : OV_ENROLL_FAILURE_UNKNOWN;
    default:
      return OV_ENROLL_FAILURE_UNKNOWN;
  }
}

}  // namespace

// The open session: the functions of the stack it was opened with, the libcurl handle that keeps
// the connection, the proxy resolver, and what the callbacks gather while an exchange runs.
struct HttpRequest::Session {
  explicit Session(const HttpStack& stack)
      : api(stack.Curl()),
        px(stack.Proxy()),
        curl(nullptr, {api.easy_cleanup}),
        proxies(nullptr, {px.factory_free}),
        headers(nullptr, {api.slist_free_all}) {}

  const CurlFunctions api;
  const ProxyFunctions px;
  Owned<CURL> curl;
  Owned<pxProxyFactory> proxies;
  Owned<curl_slist> headers;
  std::string url;  // as rebuilt from the parsed parts
  char error[CURL_ERROR_SIZE] = {};
  // Gathered during one exchange.
  std::string body;
  bool bodyTooLong = false;
  std::optional<std::string> contentType;
  std::optional<std::string> cacheControl;
  std::optional<std::string> pragma;

  static size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto& self = *static_cast<Session*>(user);
    const std::size_t length = size * count;
    // Only the text before a NUL of each piece read is kept.
    const std::string_view piece(data, length);
    const std::string_view text = piece.substr(0, piece.find('\0'));
    if (self.body.size() + text.size() > kMaxResponseBody) {
      self.bodyTooLong = true;
      return 0;  // ends the transfer with a write error
    }
    self.body.append(text);
    return length;
  }

  static size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    auto& self = *static_cast<Session*>(user);
    const std::size_t length = size * count;
    const std::string_view line(data, length);
    if (line.substr(0, 5) == "HTTP/") {
      // A new response (after an interim one): its headers replace whatever came before.
      self.contentType.reset();
      self.cacheControl.reset();
      self.pragma.reset();
      return length;
    }
    const auto colon = line.find(':');
    if (colon == std::string_view::npos) return length;
    const std::string_view name = Trim(line.substr(0, colon));
    const std::string_view value = Trim(line.substr(colon + 1));
    std::optional<std::string>* target = nullptr;
    if (EqualNoCase(name, "Content-Type")) target = &self.contentType;
    if (EqualNoCase(name, "Cache-Control")) target = &self.cacheControl;
    if (EqualNoCase(name, "Pragma")) target = &self.pragma;
    if (target != nullptr) {
      // A header sent more than once reads as one list, the way HTTP defines it.
      if (*target) {
        **target += ", ";
        **target += value;
      } else {
        *target = std::string(value);
      }
    }
    return length;
  }
};

HttpRequest::HttpRequest() = default;
HttpRequest::~HttpRequest() = default;

bool HttpRequest::HttpOpenSession() {
  LogScope log("HttpRequest::HttpOpenSession");
  const HttpStack& stack = CurrentHttpStack();
  if (!stack.Ok()) {
    log.Message(stack.Failure().c_str());
    return false;
  }
  auto session = std::make_unique<Session>(stack);
  const CurlFunctions& api = session->api;
  session->curl.reset(api.easy_init());
  if (!session->curl) {
    log.Message("curl_easy_init failed");
    return false;
  }
  // Without a resolver every request goes out directly.
  session->proxies.reset(session->px.factory_new());
  if (!session->proxies) log.Message("px_proxy_factory_new failed");

  CURL* curl = session->curl.get();
  const std::string agent(kUserAgent);
  bool ok = api.easy_setopt(curl, CURLOPT_USERAGENT, agent.c_str()) == CURLE_OK &&
            api.easy_setopt(curl, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
            api.easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK &&
            api.easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L) == CURLE_OK &&
            api.easy_setopt(curl, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1) == CURLE_OK &&
            api.easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L) == CURLE_OK &&
            api.easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L) == CURLE_OK &&
            api.easy_setopt(curl, CURLOPT_SSLVERSION, CURL_SSLVERSION_TLSv1_2) == CURLE_OK &&
            api.easy_setopt(curl, CURLOPT_ERRORBUFFER, session->error) == CURLE_OK &&
            api.easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Session::OnBody) == CURLE_OK &&
            api.easy_setopt(curl, CURLOPT_WRITEDATA, session.get()) == CURLE_OK &&
            api.easy_setopt(curl, CURLOPT_HEADERFUNCTION, &Session::OnHeader) == CURLE_OK &&
            api.easy_setopt(curl, CURLOPT_HEADERDATA, session.get()) == CURLE_OK;
  if (const char* caFile = std::getenv(kCaFileVariable); caFile != nullptr && *caFile != '\0') {
    log.Text("caFile", caFile);
    ok = ok && api.easy_setopt(curl, CURLOPT_CAINFO, caFile) == CURLE_OK;
  }
  if (!ok) {
    log.Message("Session options refused");
    return false;
  }
  m_session = std::move(session);
  return true;
}

bool HttpRequest::HttpConnectServer() {
  LogScope log("HttpRequest::HttpConnectServer");
  std::string url = m_bSecure ? std::string(kHttpsTag) : std::string(kHttpTag);
  url += m_serverName;
  if (m_dwPortNumber != 0) url += ":" + std::to_string(m_dwPortNumber);
  url += "/" + m_relativePath;

  // libcurl must see the same host as the URL check did.
  const CurlFunctions& api = m_session->api;
  const Owned<CURLU> parsed(api.url(), {api.url_cleanup});
  char* hostText = nullptr;
  if (!parsed || api.url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK ||
      api.url_get(parsed.get(), CURLUPART_HOST, &hostText, 0) != CURLUE_OK) {
    log.Message("URL refused by the transport");
    return false;
  }
  const Owned<char, void> host(hostText, {api.free});
  if (!EqualNoCase(host.get(), m_serverName)) {
    log.Message("Host name is ambiguous");
    return false;
  }
  m_session->url = std::move(url);
  if (api.easy_setopt(m_session->curl.get(), CURLOPT_URL, m_session->url.c_str()) != CURLE_OK) {
    log.Message("URL refused by the transport");
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
  const CurlFunctions& api = m_session->api;
  CURL* curl = m_session->curl.get();
  const long timeOut = static_cast<long>(m_dwTimeOut);
  if (api.easy_setopt(curl, CURLOPT_POST, 1L) != CURLE_OK ||
      api.easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, timeOut) != CURLE_OK ||
      api.easy_setopt(curl, CURLOPT_TIMEOUT_MS, timeOut) != CURLE_OK) {
    log.Message("Request options refused");
    return false;
  }
  HttpSetProxyOptions();
  return true;
}

void HttpRequest::HttpSetProxyOptions() {
  LogScope log("HttpRequest::HttpSetProxyOptions");
  std::string proxy;
  if (m_session->proxies) {
    const ProxyFunctions& px = m_session->px;
    const Owned<char*> answer(px.get_proxies(m_session->proxies.get(), m_session->url.c_str()),
                              {px.free_proxies});
    if (answer && answer.get()[0] != nullptr) {
      log.Text("Proxy", answer.get()[0]);
      proxy = CurlProxyOf(answer.get()[0]);
    } else {
      log.Message("Error: px_proxy_factory_get_proxies failed");
    }
  }
  // An empty proxy is a direct connection: libcurl then also leaves its own environment
  // lookup alone, libproxy having read the same variables already.
  if (m_session->api.easy_setopt(m_session->curl.get(), CURLOPT_PROXY, proxy.c_str()) != CURLE_OK) {
    log.Message("Error: setting the proxy failed");
  }
}

bool HttpRequest::HttpAddRequestHeaders() {
  LogScope log("HttpRequest::HttpAddRequestHeaders");
  const CurlFunctions& api = m_session->api;
  if (!m_session->headers) {
    curl_slist* list = nullptr;
    std::array<const char*, kRequestHeaders.size() + 1> headers{};
    std::copy(kRequestHeaders.begin(), kRequestHeaders.end(), headers.begin());
    headers.back() = kNoExpectHeader;
    for (const char* header : headers) {
      curl_slist* next = api.slist_append(list, header);
      if (next == nullptr) {
        api.slist_free_all(list);
        log.Message("curl_slist_append failed");
        return false;
      }
      list = next;
    }
    m_session->headers.reset(list);
  }
  return api.easy_setopt(m_session->curl.get(), CURLOPT_HTTPHEADER, m_session->headers.get()) ==
         CURLE_OK;
}

bool HttpRequest::HttpSendRequest() {
  LogScope log("HttpRequest::HttpSendRequest");
  const CurlFunctions& api = m_session->api;
  CURL* curl = m_session->curl.get();
  if (m_requestBody.empty()) {
    log.Message("Request body is empty");
    return false;
  }
  if (api.easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE,
                      static_cast<curl_off_t>(m_requestBody.size())) != CURLE_OK ||
      api.easy_setopt(curl, CURLOPT_POSTFIELDS, m_requestBody.data()) != CURLE_OK) {
    log.Message("Request body refused");
    return false;
  }
  m_session->body.clear();
  m_session->bodyTooLong = false;
  m_session->contentType.reset();
  m_session->cacheControl.reset();
  m_session->pragma.reset();
  m_session->error[0] = '\0';
  const CURLcode code = api.easy_perform(curl);
  if (code != CURLE_OK) {
    const char* text = m_session->error[0] != '\0' ? m_session->error : api.easy_strerror(code);
    log.Message("curl_easy_perform failed");
    log.Number("error", static_cast<std::int32_t>(code));
    log.Text("text", text);
    if (m_session->bodyTooLong) log.Message("Response body too long");
    m_failure = FailureOf(code, m_session->bodyTooLong);
    if (code == CURLE_PEER_FAILED_VERIFICATION || code == CURLE_SSL_CONNECT_ERROR ||
        code == CURLE_SSL_CACERT_BADFILE || code == CURLE_SSL_CERTPROBLEM) {
      SecureFailureCallback(static_cast<int>(code), text);
    }
    return false;
  }
  long status = 0;
  api.easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  log.Number("status", static_cast<std::int32_t>(status));
  return true;
}

void HttpRequest::SecureFailureCallback(int code, const char* text) {
  LogScope log("HttpRequest::SecureFailureCallback");
  log.Number("dw", code);
  log.Text("text", text);
}

std::int32_t HttpRequest::HttpSendMessage() {
  LogScope log("HttpRequest::HttpSendMessage");
  m_failure = OV_ENROLL_FAILURE_UNKNOWN;
  const bool ok = HttpOpenRequest() && HttpAddRequestHeaders() && HttpSendRequest();
  if (!ok) {
    m_responseBody.clear();
    if (m_session) m_session->body.clear();
    return log.Return(OV_ERR_OPERATION_FAILED);
  }
  m_responseBody = std::move(m_session->body);
  m_session->body.clear();
  m_pragma = std::move(m_session->pragma);
  m_contentType = std::move(m_session->contentType);
  m_cacheControl = std::move(m_session->cacheControl);
  log.Number("nBodyLength", static_cast<std::int32_t>(m_responseBody.size()));
  return log.Return(OV_OK);
}

void HttpRequest::HttpDisconnect() {
  LogScope log("HttpRequest::HttpDisconnect");
  m_session.reset();
}

}  // namespace ov
