// The DSKPP enrollment server of the tests (enrollment_server.py beside this file), run as a
// child process for the life of one object: it makes its own test certificate authority and
// certificates in a fresh temporary folder, listens on a free port of 127.0.0.1 (the server picks
// it and reports it once it is ready) and is stopped by the destructor.
//
//   EnrollmentServer server({"--misbehave", "wrong-mac"});
//   ASSERT_TRUE(server.Ok()) << server.Error();
//   setenv(HttpRequest::kCaFileVariable, server.CaFile().c_str(), 1);
//   ... enroll against server.Url() ...
//   server.Events()  // what the server saw and provisioned, one JSON object per line
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace ov::test {

class EnrollmentServer {
 public:
  // Arguments for the server: "--misbehave NAME", "--certificate KIND", "--delay SECONDS",
  // "--users FILE" (see the script's description).
  explicit EnrollmentServer(const std::vector<std::string>& arguments = {});
  ~EnrollmentServer();
  EnrollmentServer(const EnrollmentServer&) = delete;
  EnrollmentServer& operator=(const EnrollmentServer&) = delete;

  bool Ok() const { return m_port != 0; }
  const std::string& Error() const { return m_error; }
  int Port() const { return m_port; }
  // https://127.0.0.1:<port>/<path>
  std::string Url(const std::string& path = "dskpp") const;
  // The PEM certificate of the authority that issued the server's certificate (unless the server
  // was asked for an untrusted one).
  std::filesystem::path CaFile() const { return m_folder / "ca.pem"; }
  // The server's log lines so far, all of them or those of one kind ("request", "provisioned",
  // "refused").
  std::vector<std::string> Events() const;
  std::vector<std::string> Events(const std::string& kind) const;
  // The value of `"key": ...` in one log line: a text without its quotes, anything else as it
  // stands ("null", a number); empty when the key is not there.
  static std::string JsonValue(const std::string& line, const std::string& key);

 private:
  std::filesystem::path m_folder;
  pid_t m_pid = -1;
  int m_port = 0;
  std::string m_error;
};

}  // namespace ov::test
