// A small reader for the known-answer files under tests/data: "#" comment lines, records of
// "Key = value" lines separated by blank lines. A value in double quotes keeps its blanks (the
// quotes are removed); otherwise blanks around it are dropped. Each record remembers the line it
// starts on, which names its test case, so a failure points at the data.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "support/TestEnvironment.h"

namespace ov::test {

struct KeyValueRecord {
  std::string file;
  int line = 0;
  std::map<std::string, std::string> values;

  const std::string& Get(const std::string& key) const {
    static const std::string kMissing;
    auto it = values.find(key);
    EXPECT_NE(it, values.end()) << file << ":" << line << " has no " << key;
    return it != values.end() ? it->second : kMissing;
  }
};

// Keeps test names short: a record prints as its place in the file.
inline void PrintTo(const KeyValueRecord& r, std::ostream* os) { *os << r.file << ":" << r.line; }

inline std::string TrimBlanks(const std::string& s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  const auto last = s.find_last_not_of(" \t\r");
  return s.substr(first, last - first + 1);
}

// Reads tests/data/<name>; an unreadable or empty file gives no records, which the caller checks.
inline std::vector<KeyValueRecord> ReadKeyValueRecords(const std::string& name) {
  std::vector<KeyValueRecord> records;
  std::istringstream in(ReadFile(TestDataDir() / name));
  std::string text;
  int number = 0;
  bool open = false;
  while (std::getline(in, text)) {
    ++number;
    const std::string line = TrimBlanks(text);
    if (line.empty()) {
      open = false;
      continue;
    }
    if (line[0] == '#') continue;
    if (!open) {
      records.push_back({name, number, {}});
      open = true;
    }
    const auto eq = line.find('=');
    std::string key = TrimBlanks(line.substr(0, eq));
    std::string value = eq == std::string::npos ? std::string() : TrimBlanks(line.substr(eq + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
      value = value.substr(1, value.size() - 2);
    }
    records.back().values[key] = value;
  }
  return records;
}

// "line_12": the name of the case that starts on line 12 of its file.
inline std::string RecordName(const testing::TestParamInfo<KeyValueRecord>& info) {
  return "line_" + std::to_string(info.param.line);
}

}  // namespace ov::test
