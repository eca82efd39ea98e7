#include "support/VectorFile.h"

#include <cctype>
#include <charconv>
#include <sstream>
#include <stdexcept>

#include "encoding/Hex.h"
#include "support/TestEnvironment.h"

namespace ov::test {

namespace {

std::string Trim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  const auto last = s.find_last_not_of(" \t\r");
  return s.substr(first, last - first + 1);
}

}  // namespace

VectorRecord VectorRecord::Broken(std::string file, int line, std::string error) {
  VectorRecord r(std::move(file), line);
  r.m_error = std::move(error);
  return r;
}

bool VectorRecord::Has(const std::string& key) const {
  for (const auto& [k, v] : m_values) {
    if (k == key) return true;
  }
  return false;
}

const std::string& VectorRecord::Text(const std::string& key) const {
  for (const auto& [k, v] : m_values) {
    if (k == key) return v;
  }
  throw std::out_of_range(m_file + ":" + std::to_string(m_line) + ": no value '" + key + "'");
}

std::vector<std::uint8_t> VectorRecord::Hex(const std::string& key) const {
  SecureBytes bytes;
  if (!HexDecode(Text(key), bytes)) {
    throw std::invalid_argument(m_file + ":" + std::to_string(m_line) + ": '" + key +
                                "' is not hex");
  }
  return {bytes.begin(), bytes.end()};
}

long long VectorRecord::Int(const std::string& key) const {
  const std::string& text = Text(key);
  long long value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) {
    throw std::invalid_argument(m_file + ":" + std::to_string(m_line) + ": '" + key +
                                "' is not a number");
  }
  return value;
}

std::vector<std::uint8_t> VectorRecord::Bytes(const std::string& key) const {
  const std::string& text = Text(key);
  return {text.begin(), text.end()};
}

std::vector<VectorRecord> LoadVectorFile(const std::filesystem::path& relativePath) {
  const std::string name = relativePath.generic_string();
  const auto path = TestDataDir() / relativePath;
  if (!std::filesystem::is_regular_file(path)) {
    return {VectorRecord::Broken(name, 0, "cannot read " + path.string())};
  }
  std::istringstream in(ReadFile(path));
  std::vector<VectorRecord> records;
  std::string line;
  int number = 0;
  bool inRecord = false;
  while (std::getline(in, line)) {
    ++number;
    const std::string text = Trim(line);
    if (text.empty()) {
      inRecord = false;
      continue;
    }
    if (text[0] == '#') continue;
    const auto eq = text.find('=');
    if (eq == std::string::npos || Trim(text.substr(0, eq)).empty()) {
      return {VectorRecord::Broken(name, number, "line is not 'Key = value': " + text)};
    }
    if (!inRecord) {
      records.emplace_back(name, number);
      inRecord = true;
    }
    records.back().Add(Trim(text.substr(0, eq)), Trim(text.substr(eq + 1)));
  }
  if (records.empty()) return {VectorRecord::Broken(name, 0, "no records in " + name)};
  return records;
}

std::string VectorRecordName(const ::testing::TestParamInfo<VectorRecord>& info) {
  std::string name = "L" + std::to_string(info.param.Line());
  if (info.param.Ok() && info.param.Has("Label")) {
    name += '_';
    for (char c : info.param.Text("Label")) {
      name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    }
  }
  return name;
}

void PrintTo(const VectorRecord& record, std::ostream* os) {
  *os << record.File() << ":" << record.Line();
}

}  // namespace ov::test
