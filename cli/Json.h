// Just enough JSON for --json: objects of strings, numbers, booleans and null, written in order.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace ov::cli {

class JsonObject {
 public:
  explicit JsonObject(std::ostream& out, std::string_view indent = "") : m_out(out), m_indent(indent) {
    m_out << "{";
  }
  JsonObject(const JsonObject&) = delete;
  JsonObject& operator=(const JsonObject&) = delete;
  ~JsonObject() { m_out << "\n" << m_indent << "}"; }

  void String(std::string_view key, std::string_view value) {
    Key(key);
    Quoted(value);
  }
  void OptionalString(std::string_view key, const std::optional<std::string>& value) {
    if (!value) {
      Key(key);
      m_out << "null";
    } else {
      String(key, *value);
    }
  }
  void Number(std::string_view key, int64_t value) {
    Key(key);
    m_out << value;
  }
  void Bool(std::string_view key, bool value) {
    Key(key);
    m_out << (value ? "true" : "false");
  }

 private:
  void Key(std::string_view key) {
    m_out << (m_first ? "\n" : ",\n") << m_indent << "  ";
    m_first = false;
    Quoted(key);
    m_out << ": ";
  }
  // Bytes of 0x80 and above pass as they are: the names are UTF-8 already.
  void Quoted(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    m_out << '"';
    for (const char c : text) {
      const auto byte = static_cast<unsigned char>(c);
      if (c == '"' || c == '\\') {
        m_out << '\\' << c;
      } else if (c == '\n') {
        m_out << "\\n";
      } else if (c == '\t') {
        m_out << "\\t";
      } else if (c == '\r') {
        m_out << "\\r";
      } else if (byte < 0x20 || byte == 0x7f) {
        m_out << "\\u00" << kHex[byte >> 4] << kHex[byte & 0x0f];
      } else {
        m_out << c;
      }
    }
    m_out << '"';
  }

  std::ostream& m_out;
  std::string m_indent;
  bool m_first = true;
};

}  // namespace ov::cli
