#include "enroll/HttpStack.h"

#include <atomic>

#include "common/LogFacade.h"

namespace ov {

namespace {

// The stack a test installed, if any.
std::atomic<const HttpStack*> g_installed{nullptr};

}  // namespace

HttpStack::HttpStack(const std::string& curlLibrary, const std::string& proxyLibrary)
    : m_curlLibrary(curlLibrary), m_proxyLibrary(proxyLibrary) {
  LogScope log("HttpStack::HttpStack");
  const bool bound = Open(m_curlLibrary) &&
                     Bind(m_curlLibrary, "curl_global_init", m_curl.global_init) &&
                     Bind(m_curlLibrary, "curl_easy_init", m_curl.easy_init) &&
                     Bind(m_curlLibrary, "curl_easy_cleanup", m_curl.easy_cleanup) &&
                     Bind(m_curlLibrary, "curl_easy_setopt", m_curl.easy_setopt) &&
                     Bind(m_curlLibrary, "curl_easy_perform", m_curl.easy_perform) &&
                     Bind(m_curlLibrary, "curl_easy_getinfo", m_curl.easy_getinfo) &&
                     Bind(m_curlLibrary, "curl_easy_strerror", m_curl.easy_strerror) &&
                     Bind(m_curlLibrary, "curl_slist_append", m_curl.slist_append) &&
                     Bind(m_curlLibrary, "curl_slist_free_all", m_curl.slist_free_all) &&
                     Bind(m_curlLibrary, "curl_url", m_curl.url) &&
                     Bind(m_curlLibrary, "curl_url_cleanup", m_curl.url_cleanup) &&
                     Bind(m_curlLibrary, "curl_url_set", m_curl.url_set) &&
                     Bind(m_curlLibrary, "curl_url_get", m_curl.url_get) &&
                     Bind(m_curlLibrary, "curl_free", m_curl.free) && Open(m_proxyLibrary) &&
                     Bind(m_proxyLibrary, "px_proxy_factory_new", m_proxy.factory_new) &&
                     Bind(m_proxyLibrary, "px_proxy_factory_free", m_proxy.factory_free) &&
                     Bind(m_proxyLibrary, "px_proxy_factory_get_proxies", m_proxy.get_proxies) &&
                     Bind(m_proxyLibrary, "px_proxy_factory_free_proxies", m_proxy.free_proxies);
  if (bound && m_curl.global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
    m_failure = curlLibrary + ": curl_global_init failed";
  }
  if (!m_failure.empty()) log.Message(m_failure.c_str());
}

bool HttpStack::Open(const platform::SharedLibrary& library) {
  if (!library.IsOpen()) m_failure = "Cannot load " + library.Name() + " (" + library.Error() + ")";
  return library.IsOpen();
}

template <class Fn>
bool HttpStack::Bind(const platform::SharedLibrary& library, const char* symbol, Fn& slot) {
  slot = library.Function<Fn>(symbol);
  if (slot == nullptr) m_failure = library.Name() + " has no function " + symbol;
  return slot != nullptr;
}

const HttpStack& CurrentHttpStack() {
  if (const HttpStack* installed = g_installed.load(std::memory_order_acquire)) return *installed;
  static const HttpStack stack(HttpStack::kCurlLibrary, HttpStack::kProxyLibrary);
  return stack;
}

ScopedHttpStack::ScopedHttpStack(const std::string& curlLibrary, const std::string& proxyLibrary)
    : m_stack(curlLibrary, proxyLibrary),
      m_previous(g_installed.exchange(&m_stack, std::memory_order_acq_rel)) {}

ScopedHttpStack::~ScopedHttpStack() { g_installed.store(m_previous, std::memory_order_release); }

}  // namespace ov
