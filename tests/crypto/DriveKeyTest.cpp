// The drive key of token files on a USB drive and its 3DES-CBC. Files sealed on one platform are
// opened on the other, so the key and a sealed record are checked against values worked out
// independently (python3-cryptography, the derivation written out by hand).
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "crypto/CryptDeriveKey.h"
#include "encoding/Hex.h"

namespace ov {
namespace {

std::vector<std::uint8_t> Bytes(std::string_view hex) {
  SecureBytes out;
  EXPECT_TRUE(HexDecode(hex, out));
  return {out.begin(), out.end()};
}

const auto kMaterial = Bytes(
    "4F5631323334353637383930000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F");
const auto kKey = Bytes("0A3F2BE33E51307AB5BCA14247578C2B744216D68B1BAF83");
const auto kPlain = Bytes("6472697665206B657920636865636B");
const auto kSealed = Bytes("E5AC383C96AB30F8C288E220C9D6474F");

// DES ignores the lowest bit of each key byte, which the platform's derivation may set for
// parity; every other bit must match, and the key must seal exactly as the other platform does.
TEST(DriveKey, DerivesTheKeyThatSealsAsEveryPlatformDoes) {
  const SecureBytes key = Derive3DesKeyFromSha1(kMaterial);
  ASSERT_EQ(key.size(), kKey.size());
  for (std::size_t i = 0; i < key.size(); ++i) {
    EXPECT_EQ(key[i] & 0xFE, kKey[i] & 0xFE) << "byte " << i;
  }
  const auto sealed = TripleDesCbcEncrypt(key, kPlain);
  ASSERT_TRUE(sealed);
  EXPECT_EQ(std::vector<std::uint8_t>(sealed->begin(), sealed->end()), kSealed);
  const auto opened = TripleDesCbcDecrypt(kKey, kSealed);
  ASSERT_TRUE(opened);
  EXPECT_EQ(std::vector<std::uint8_t>(opened->begin(), opened->end()), kPlain);
}

TEST(DriveKey, RefusesKeysOfOtherLengthsAndDamagedRecords) {
  EXPECT_FALSE(TripleDesCbcEncrypt(std::vector<std::uint8_t>(16, 1), kPlain));
  EXPECT_FALSE(TripleDesCbcDecrypt(std::vector<std::uint8_t>(16, 1), kSealed));
  EXPECT_FALSE(TripleDesCbcDecrypt(kKey, std::vector<std::uint8_t>(kSealed.begin(), kSealed.end() - 1)));
  auto damaged = kSealed;
  damaged.back() ^= 0x01;  // the pad is garbled
  EXPECT_FALSE(TripleDesCbcDecrypt(kKey, damaged));
}

}  // namespace
}  // namespace ov
