// One DSKPP exchange through WinHTTP against a small HTTP server of the test's own on 127.0.0.1:
// what goes out (request line, headers, body) and what comes back (a body longer than the first
// buffer, the three headers the driver checks).
#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "enroll/HttpRequest.h"

namespace ov {
namespace {

class OneShotServer {
 public:
  // `atOnce`: answer after the first bytes received, whatever they are (a TLS handshake never ends
  // its request the way HTTP does).
  explicit OneShotServer(std::string response, bool atOnce = false)
      : m_response(std::move(response)), m_atOnce(atOnce) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    m_listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(m_listener, 1);
    int length = sizeof address;
    getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { Serve(); });
  }
  ~OneShotServer() {
    closesocket(m_listener);
    m_thread.join();
    WSACleanup();
  }
  int Port() const { return m_port; }
  // What the client sent; valid once the exchange is over.
  const std::string& Request() const { return m_request; }

 private:
  void Serve() {
    const SOCKET client = accept(m_listener, nullptr, nullptr);
    if (client == INVALID_SOCKET) return;
    char buffer[4096];
    std::size_t expected = std::string::npos;
    for (;;) {
      const int n = recv(client, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      m_request.append(buffer, static_cast<std::size_t>(n));
      if (m_atOnce) break;
      const std::size_t end = m_request.find("\r\n\r\n");
      if (end != std::string::npos && expected == std::string::npos) {
        const std::size_t at = m_request.find("Content-Length: ");
        const std::size_t length = at < end ? std::stoul(m_request.substr(at + 16)) : 0;
        expected = end + 4 + length;
      }
      if (m_request.size() >= expected) break;
    }
    send(client, m_response.data(), static_cast<int>(m_response.size()), 0);
    shutdown(client, SD_SEND);
    closesocket(client);
  }

  std::string m_response;
  std::string m_request;
  bool m_atOnce = false;
  SOCKET m_listener = INVALID_SOCKET;
  int m_port = 0;
  std::thread m_thread;
};

TEST(WinHttpRequest, PostsTheBodyWithTheDskppHeadersAndReadsTheReply) {
  const std::string reply(3000, 'r');  // longer than the first 2048-byte buffer
  OneShotServer server("HTTP/1.1 200 OK\r\nContent-Type: application/dskpp+xml\r\n"
                       "Cache-Control: no-cache, no-store\r\nContent-Length: " +
                       std::to_string(reply.size()) + "\r\nConnection: close\r\n\r\n" + reply);
  HttpRequest request;
  request.SetURL("http://127.0.0.1:" + std::to_string(server.Port()) + "/dskpp/enroll");
  ASSERT_EQ(request.HttpConnect(), 0);
  request.SetBody("<dskpp:KeyProvClientHello/>");
  ASSERT_EQ(request.HttpSendMessage(), 0);
  request.HttpDisconnect();

  EXPECT_EQ(request.GetBody(), reply);
  EXPECT_EQ(request.GetContentType(), "application/dskpp+xml");
  EXPECT_EQ(request.GetCacheControl(), "no-cache, no-store");
  EXPECT_EQ(request.GetPragma(), std::nullopt) << "not in the reply";

  const std::string& sent = server.Request();
  EXPECT_EQ(sent.substr(0, sent.find("\r\n")), "POST /dskpp/enroll HTTP/1.1");
  for (const char* header :
       {"Content-Type: application/dskpp+xml\r\n", "Pragma: no-cache\r\n",
        "Content-Language: en-us\r\n", "Accept: application/dskpp+xml\r\n",
        "Cache-Control: no-cache, no-store\r\n", "User-Agent: Orvanti SDK 8.3.5 for Windows\r\n",
        "Content-Length: 27\r\n"}) {
    EXPECT_NE(sent.find(header), std::string::npos) << header << "in:\n" << sent;
  }
  EXPECT_EQ(sent.substr(sent.find("\r\n\r\n") + 4), "<dskpp:KeyProvClientHello/>");
}

// A TLS request to a server that does not speak TLS fails, and nothing of an earlier reply is
// taken for its answer.
TEST(WinHttpRequest, AFailedExchangeIs6003) {
  OneShotServer server("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok", true);
  HttpRequest request;
  request.SetTimeOut(10);
  request.SetURL("https://127.0.0.1:" + std::to_string(server.Port()) + "/x");
  ASSERT_EQ(request.HttpConnect(), 0);
  request.SetBody("<x/>");
  EXPECT_EQ(request.HttpSendMessage(), 6003);
  EXPECT_EQ(request.GetBody(), "");
}

}  // namespace
}  // namespace ov
