// OVException: the library's one exception type. It carries a result code (one of the OV_ codes, or
// the policy parser's own 4097..4100) and an optional text for the diagnostic log. It travels only
// inside the library: the boundary turns it into a result code and nothing is thrown across.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace ov {

class OVException : public std::exception {
 public:
  explicit OVException(int32_t code, std::string text = {}) : m_nErrorCode(code), m_text(std::move(text)) {}

  int32_t GetErrorCode() const noexcept { return m_nErrorCode; }
  // The text given when the exception was raised; empty when there was none.
  const std::string& GetErrorString() const noexcept { return m_text; }
  const char* what() const noexcept override { return m_text.c_str(); }

 private:
  int32_t m_nErrorCode;
  std::string m_text;
};

}  // namespace ov
