// Just enough JSON for --json: objects of strings, numbers, booleans and null, written in order.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "frontend/DisplayText.h"

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
  // Names from token files may hold anything; the output stays valid JSON in UTF-8.
  void Quoted(std::string_view text) { m_out << '"' << frontend::JsonStringContent(text) << '"'; }

  std::ostream& m_out;
  std::string m_indent;
  bool m_first = true;
};

}  // namespace ov::cli
