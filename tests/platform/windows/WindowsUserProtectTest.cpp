// Under Wine the protection is no real protection (its blobs are never fixtures); these tests hold
// what is ours: what is handed to the system and what comes back.
#include <gtest/gtest.h>
// clang-format off
#include <windows.h>
#include <dpapi.h>
// clang-format on

#include <string>
#include <vector>

#include "platform/windows/WindowsUserProtect.h"

namespace {

using ov::platform::WindowsUserProtect;
using Bytes = std::vector<uint8_t>;

Bytes B(std::string_view text) { return Bytes(text.begin(), text.end()); }

const Bytes kEntropy = B("Token 1");

Bytes Plain(const std::optional<ov::SecureBytes>& opened) {
  return opened ? Bytes(opened->begin(), opened->end()) : Bytes{0xEE, 0xEE};
}

TEST(WindowsUserProtectTest, BytesComeBackExactlyAsGiven) {
  WindowsUserProtect protect;
  const struct {
    Bytes data, entropy;
  } cases[] = {
      {B(std::string_view("token\0\xFF", 7)), kEntropy},
      {B(std::string_view("seed\0", 5)), kEntropy},  // as the token files seal their texts
      {{}, kEntropy},
      {B("profile"), {}},
      {{}, {}},
  };
  for (const auto& c : cases) {
    const auto blob = protect.Protect(c.data, c.entropy);
    ASSERT_TRUE(blob.has_value()) << c.data.size() << " bytes";
    EXPECT_NE(*blob, c.data);
    EXPECT_EQ(Plain(protect.Unprotect(*blob, c.entropy)), c.data) << c.data.size() << " bytes";
  }
}

TEST(WindowsUserProtectTest, AnotherEntropyOrAChangedBlobIsRefused) {
  WindowsUserProtect protect;
  const Bytes blob = protect.Protect(B("token"), kEntropy).value();
  const Bytes longer = [] {
    Bytes e = kEntropy;
    e.push_back(0);
    return e;
  }();
  for (const Bytes& entropy : {B("Token 2"), Bytes{}, longer}) {
    EXPECT_FALSE(protect.Unprotect(blob, entropy)) << std::string(entropy.begin(), entropy.end());
  }
  // Bytes of the sealed data and of the signature at the end: Wine leaves some of the header
  // unchecked (the master key's ID, the description), unlike Windows.
  for (std::size_t at : {blob.size() - 30, blob.size() - 1}) {
    Bytes changed = blob;
    changed[at] ^= 0x01;
    EXPECT_FALSE(protect.Unprotect(changed, kEntropy)) << "byte " << at << " changed";
  }
  for (std::size_t length : {std::size_t{0}, blob.size() / 2, blob.size() - 1}) {
    EXPECT_FALSE(protect.Unprotect(std::span(blob).first(length), kEntropy)) << "cut to " << length;
  }
  EXPECT_FALSE(protect.IsSecretRefused());
}

// The system sees the bytes as given, with the description and the entropy; blobs that earlier
// programs sealed the same way (the data and one zero byte) open with every byte.
TEST(WindowsUserProtectTest, TheSystemCallCarriesDescriptionEntropyAndTheBytesAsGiven) {
  WindowsUserProtect protect;
  const Bytes sealed = B(std::string_view("abc\0", 4));
  Bytes blob = protect.Protect(sealed, kEntropy).value();

  DATA_BLOB in{static_cast<DWORD>(blob.size()), blob.data()};
  Bytes entropy = kEntropy;
  DATA_BLOB extra{static_cast<DWORD>(entropy.size()), entropy.data()};
  DATA_BLOB out{};
  LPWSTR description = nullptr;
  ASSERT_TRUE(CryptUnprotectData(&in, &description, &extra, nullptr, nullptr, 0, &out));
  EXPECT_EQ(Bytes(out.pbData, out.pbData + out.cbData), sealed) << "one zero byte at the end";
  ASSERT_NE(description, nullptr);
  EXPECT_EQ(std::wstring(description), L"This is the description string.");
  LocalFree(out.pbData);
  LocalFree(description);

  Bytes data = sealed;
  DATA_BLOB plain{static_cast<DWORD>(data.size()), data.data()};
  DATA_BLOB earlier{};
  ASSERT_TRUE(CryptProtectData(&plain, L"This is the description string.", &extra, nullptr, nullptr,
                               0, &earlier));
  const Bytes earlierBlob(earlier.pbData, earlier.pbData + earlier.cbData);
  LocalFree(earlier.pbData);
  EXPECT_EQ(Plain(protect.Unprotect(earlierBlob, kEntropy)), sealed);
}

}  // namespace
