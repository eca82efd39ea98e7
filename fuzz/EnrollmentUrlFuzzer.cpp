// Fuzzes the transport's URL check with arbitrary text. An accepted URL must be exactly its
// parts put together again: the scheme, the host, an optional ":" and port, "/" and the path; the
// host holds nothing another URL parser would read as user information, query or fragment, and
// the port is the decimal text of a port a connection can use (empty for the scheme's default).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "enroll/HttpRequest.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view url(reinterpret_cast<const char*>(data), size);
  ov::HttpRequest request;
  request.SetURL(url);
  if (!request.IsValidUrl()) return 0;

  const std::string_view scheme = request.IsSecure() ? "https://" : "http://";
  Check(url.substr(0, scheme.size()) == scheme);
  const std::string& host = request.GetServerName();
  const std::string& path = request.GetRelativePath();
  Check(host.find_first_of("/:@?#") == std::string::npos);
  Check(request.GetPortNumber() <= 65535);
  const std::string_view rest = url.substr(scheme.size());
  Check(rest.substr(0, host.size()) == host);
  Check(rest.size() >= host.size() + 1 + path.size());
  Check(rest.substr(rest.size() - path.size()) == path);
  Check(rest[rest.size() - path.size() - 1] == '/');
  const std::string_view between =
      rest.substr(host.size(), rest.size() - path.size() - 1 - host.size());
  const std::uint32_t port = request.GetPortNumber();
  if (between.empty()) {
    Check(port == (request.IsSecure() ? 443u : 80u));
  } else if (between == ":") {
    Check(port == 0);
  } else {
    Check(between[0] == ':' && port >= 1);
    std::uint32_t value = 0;
    for (const char c : between.substr(1)) {
      Check(c >= '0' && c <= '9');
      value = value * 10 + static_cast<std::uint32_t>(c - '0');
    }
    Check(value == port);
  }
  return 0;
}
