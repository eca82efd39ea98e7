// The DSKPP enrollment server of the tests (enrollment_server.py beside this file), run as a
// child process for the life of one object: it makes its own test certificate authority and
// certificates in a fresh temporary folder, listens on a free port of 127.0.0.1 (the server picks
// it and reports it once it is ready) and is stopped by the destructor.
//
//   EnrollmentServer server({"--misbehave", "wrong-mac"});
//   ASSERT_TRUE(server.Ok()) << server.Error();
//   SetEnv(HttpRequest::kCaFileVariable, server.CaFile().string());
//   ... enroll against server.Url() ...
//   server.Events()  // what the server saw and provisioned, one JSON object per line
//
// The server always runs on the host's own Python 3, which is a Unix program also when the tests
// are Windows programs under Wine; the Windows launcher hands it paths in its own form.
#pragma once

#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "support/TestEnvironment.h"

namespace ov::test {

class EnrollmentServer {
 public:
  // Arguments for the server: "--misbehave NAME", "--certificate KIND", "--delay SECONDS",
  // "--users FILE" (see the script's description). FILE is a path as the test names it.
  explicit EnrollmentServer(const std::vector<std::string>& arguments = {});
  ~EnrollmentServer();
  EnrollmentServer(const EnrollmentServer&) = delete;
  EnrollmentServer& operator=(const EnrollmentServer&) = delete;

  bool Ok() const { return m_port != 0; }
  const std::string& Error() const { return m_error; }
  int Port() const { return m_port; }
  // The host name the client is to use: "127.0.0.1" on Linux; "localhost" on Windows, since Wine
  // matches the host only against a certificate's DNS names, never its IP address entries.
  static const char* Host();
  // https://<host>:<port>, without a path.
  std::string Origin() const {
    return "https://" + std::string(Host()) + ":" + std::to_string(m_port);
  }
  // https://<host>:<port>/<path>
  std::string Url(const std::string& path = "dskpp") const { return Origin() + "/" + path; }
  // The PEM certificate of the authority that issued the server's certificate (unless the server
  // was asked for an untrusted one).
  std::filesystem::path CaFile() const { return m_folder / "ca.pem"; }
  // The server's log lines so far, all of them or those of one kind ("request", "provisioned",
  // "refused").
  std::vector<std::string> Events() const {
    std::vector<std::string> lines;
    std::istringstream in(ReadFile(m_folder / "events.jsonl"));
    for (std::string line; std::getline(in, line);) {
      if (!line.empty()) lines.push_back(line);
    }
    return lines;
  }
  std::vector<std::string> Events(const std::string& kind) const {
    std::vector<std::string> lines;
    for (const auto& line : Events()) {
      if (JsonValue(line, "event") == kind) lines.push_back(line);
    }
    return lines;
  }
  // The value of `"key": ...` in one log line: a text without its quotes, anything else as it
  // stands ("null", a number); empty when the key is not there.
  static std::string JsonValue(const std::string& line, const std::string& key) {
    const std::string marker = "\"" + key + "\": ";
    const auto at = line.find(marker);
    if (at == std::string::npos) return {};
    const auto start = at + marker.size();
    if (line[start] != '"') return line.substr(start, line.find_first_of(",}", start) - start);
    return line.substr(start + 1, line.find('"', start + 1) - start - 1);
  }

 private:
  // The running server, as the platform keeps hold of it (EnrollmentServer.cpp,
  // windows/EnrollmentServer.cpp).
  struct Process;

  std::filesystem::path m_folder;
  std::unique_ptr<Process> m_process;
  int m_port = 0;
  std::string m_error;
};

}  // namespace ov::test
