// Fuzzes the reader of an 8.0 "ProfileData" file (outside input: left by an earlier installation):
// the file is written as given and read with OV80ReadData, which opens the user-bound blob, and
// the same bytes are taken as a profile plaintext directly. Beyond memory safety the target
// checks:
//  - a file that opens always reads (true); a record that could not be taken stays zero;
//  - a plaintext shorter than the profile record is refused and leaves the record zero;
//  - the key texts never exceed their limits (144 and 20 characters) and lie inside the record.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "storage/Ov80Profile.h"

namespace {

std::string g_profilePath;

void Check(bool condition) {
  if (!condition) std::abort();
}

bool AllZero(const ov::Ov80Profile& p) {
  return std::all_of(p.bytes.begin(), p.bytes.end(), [](uint8_t b) { return b == 0; });
}

void CheckTexts(const ov::Ov80Profile& p) {
  const auto* begin = reinterpret_cast<const char*>(p.bytes.data());
  Check(p.EncOtpKey().size() <= 144 && p.EncOtpKey().data() == begin + 30);
  Check(p.KeyMaterial().size() <= 20 && p.KeyMaterial().data() == begin + 176);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The user secret of the blob protection and the profile file live in a private folder.
  std::string pattern = (std::filesystem::temp_directory_path() / "ovfuzz-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) std::abort();
  setenv("XDG_DATA_HOME", pattern.c_str(), 1);
  g_profilePath = pattern + "/ProfileData";
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  ov::Ov80Profile direct;
  const bool parsed = ov::ParseOv80Profile({data, size}, direct);
  Check(parsed == (size >= ov::kOv80ProfileSize));
  if (!parsed) Check(AllZero(direct));
  CheckTexts(direct);

  std::FILE* f = std::fopen(g_profilePath.c_str(), "wb");
  if (f == nullptr) std::abort();
  if (size > 0) std::fwrite(data, 1, size, f);
  std::fclose(f);
  ov::Ov80Profile fromFile;
  Check(ov::OV80ReadData(g_profilePath, fromFile));
  CheckTexts(fromFile);
  return 0;
}
