// HttpStack: libcurl and libproxy, opened the first time an enrollment connects instead of when a
// program linking the token library starts. Together they bring some forty libraries along, and
// only enrollment needs any of them. Their headers still give the types, constants and function
// signatures; the functions themselves are reached through the tables below.
//
// The process's stack is opened once, by whichever thread asks first; a library that is missing
// (or lacks a function) leaves it unusable for the life of the process, and every enrollment then
// fails with the reason in the diagnostic log. libcurl's global set-up runs as part of opening.
#pragma once

#include <curl/curl.h>
#include <proxy.h>

#include <string>

#include "platform/SharedLibrary.h"

namespace ov {

struct CurlFunctions {
  decltype(&::curl_global_init) global_init = nullptr;
  decltype(&::curl_easy_init) easy_init = nullptr;
  decltype(&::curl_easy_cleanup) easy_cleanup = nullptr;
  decltype(&::curl_easy_setopt) easy_setopt = nullptr;
  decltype(&::curl_easy_perform) easy_perform = nullptr;
  decltype(&::curl_easy_getinfo) easy_getinfo = nullptr;
  decltype(&::curl_easy_strerror) easy_strerror = nullptr;
  decltype(&::curl_slist_append) slist_append = nullptr;
  decltype(&::curl_slist_free_all) slist_free_all = nullptr;
  decltype(&::curl_url) url = nullptr;
  decltype(&::curl_url_cleanup) url_cleanup = nullptr;
  decltype(&::curl_url_set) url_set = nullptr;
  decltype(&::curl_url_get) url_get = nullptr;
  decltype(&::curl_free) free = nullptr;
};

struct ProxyFunctions {
  decltype(&::px_proxy_factory_new) factory_new = nullptr;
  decltype(&::px_proxy_factory_free) factory_free = nullptr;
  decltype(&::px_proxy_factory_get_proxies) get_proxies = nullptr;
  decltype(&::px_proxy_factory_free_proxies) free_proxies = nullptr;
};

class HttpStack {
 public:
  static constexpr const char* kCurlLibrary = "libcurl.so.4";
  static constexpr const char* kProxyLibrary = "libproxy.so.1";

  // Opens both libraries, finds their functions and sets libcurl up; Ok() tells whether all of
  // that worked, Failure() what went wrong, naming the library.
  HttpStack(const std::string& curlLibrary, const std::string& proxyLibrary);
  HttpStack(const HttpStack&) = delete;
  HttpStack& operator=(const HttpStack&) = delete;

  bool Ok() const noexcept { return m_failure.empty(); }
  const std::string& Failure() const noexcept { return m_failure; }
  const CurlFunctions& Curl() const noexcept { return m_curl; }
  const ProxyFunctions& Proxy() const noexcept { return m_proxy; }

 private:
  bool Open(const platform::SharedLibrary& library);
  template <class Fn>
  bool Bind(const platform::SharedLibrary& library, const char* symbol, Fn& slot);

  platform::SharedLibrary m_curlLibrary;
  platform::SharedLibrary m_proxyLibrary;
  CurlFunctions m_curl;
  ProxyFunctions m_proxy;
  std::string m_failure;
};

// The stack in force: the process's own, opened from the two libraries above on the first call,
// unless a test installed another.
const HttpStack& CurrentHttpStack();

// Tests: until destroyed, enrollments use a stack opened from these library names (a missing
// library, say). Sessions opened meanwhile must be closed before it goes.
class ScopedHttpStack {
 public:
  ScopedHttpStack(const std::string& curlLibrary, const std::string& proxyLibrary);
  ~ScopedHttpStack();
  ScopedHttpStack(const ScopedHttpStack&) = delete;
  ScopedHttpStack& operator=(const ScopedHttpStack&) = delete;

 private:
  HttpStack m_stack;
  const HttpStack* m_previous;
};

}  // namespace ov
