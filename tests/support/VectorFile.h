// Known-answer files: text files under tests/data of records made of `Key = value` lines, records
// separated by blank lines, lines starting with `#` are comments (every file opens with one naming
// the source of its values). A record keeps the line it starts on, so a value-parameterised test
// can name each case after its place in the file:
//
//   class HmacVectors : public ::testing::TestWithParam<ov::test::VectorRecord> {};
//   TEST_P(HmacVectors, Matches) { const auto& r = GetParam(); ASSERT_TRUE(r.Ok()) << r.Error();
//   ...} INSTANTIATE_TEST_SUITE_P(Rfc4231, HmacVectors,
//                            ::testing::ValuesIn(ov::test::LoadVectorFile("crypto/hmac.vec")),
//                            ov::test::VectorRecordName);
//
// A file that cannot be read, has no record, or has a malformed line gives one record that is not
// Ok(), so the failure shows up as a failing case instead of a silently empty suite.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace ov::test {

class VectorRecord {
 public:
  VectorRecord(std::string file, int line) : m_file(std::move(file)), m_line(line) {}

  static VectorRecord Broken(std::string file, int line, std::string error);

  bool Ok() const { return m_error.empty(); }
  const std::string& Error() const { return m_error; }
  const std::string& File() const { return m_file; }
  int Line() const { return m_line; }

  bool Has(const std::string& key) const;
  // The value of `key`; throws std::out_of_range naming the file and line when it is missing.
  const std::string& Text(const std::string& key) const;
  // The value read as hex (either case, empty allowed); throws when missing or not hex.
  std::vector<std::uint8_t> Hex(const std::string& key) const;
  // The value read as a decimal integer; throws when missing or not a number.
  long long Int(const std::string& key) const;
  // The bytes of the value as written (for ASCII texts).
  std::vector<std::uint8_t> Bytes(const std::string& key) const;

  void Add(std::string key, std::string value) {
    m_values.emplace_back(std::move(key), std::move(value));
  }
  bool Empty() const { return m_values.empty(); }

 private:
  std::string m_file;
  int m_line;
  std::string m_error;
  std::vector<std::pair<std::string, std::string>> m_values;
};

// Loads tests/data/<relativePath>.
std::vector<VectorRecord> LoadVectorFile(const std::filesystem::path& relativePath);

// Test names: "L<line>", followed by "_<label>" when the record has a `Label` value.
std::string VectorRecordName(const ::testing::TestParamInfo<VectorRecord>& info);

// GoogleTest prints a failing parameter as "<file>:<line>".
void PrintTo(const VectorRecord& record, std::ostream* os);

}  // namespace ov::test
