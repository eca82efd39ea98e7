// RSA PKCS #1 v1.5 encryption under a server's public key. The padding is random, so there is no
// known answer: each ciphertext is opened again with the test key's private exponent and its
// padding read as the receiving server would.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "common/OVException.h"
#include "crypto/RsaPublicKey.h"
#include "support/VectorFile.h"

namespace ov {
namespace {

using test::VectorRecord;
using Limbs = std::vector<std::uint32_t>;  // little-endian 32-bit limbs of a fixed width

Limbs FromBytes(const std::vector<std::uint8_t>& bytes, std::size_t width) {
  Limbs out(width, 0);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const std::size_t bit = 8 * (bytes.size() - 1 - i);
    out[bit / 32] |= static_cast<std::uint32_t>(bytes[i]) << (bit % 32);
  }
  return out;
}

bool AtLeast(const Limbs& a, const Limbs& b) {
  for (std::size_t i = a.size(); i-- > 0;) {
    if (a[i] != b[i]) return a[i] > b[i];
  }
  return true;
}

void Subtract(Limbs& a, const Limbs& b) {
  std::uint64_t borrow = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const std::uint64_t d = static_cast<std::uint64_t>(a[i]) - b[i] - borrow;
    a[i] = static_cast<std::uint32_t>(d);
    borrow = (d >> 63) & 1;
  }
}

// r = 2r + bit reduced mod n, r < n; one limb of headroom keeps the doubling exact.
void AddModN(Limbs& r, const Limbs& a, const Limbs& n) {
  std::uint64_t carry = 0;
  for (std::size_t i = 0; i < r.size(); ++i) {
    const std::uint64_t s = static_cast<std::uint64_t>(r[i]) + a[i] + carry;
    r[i] = static_cast<std::uint32_t>(s);
    carry = s >> 32;
  }
  if (AtLeast(r, n)) Subtract(r, n);
}

Limbs MulMod(const Limbs& a, const Limbs& b, const Limbs& n) {
  Limbs r(n.size(), 0);
  for (std::size_t bit = 32 * b.size(); bit-- > 0;) {
    AddModN(r, r, n);
    if ((b[bit / 32] >> (bit % 32)) & 1) AddModN(r, a, n);
  }
  return r;
}

std::vector<std::uint8_t> Open(const std::vector<std::uint8_t>& cipher, const VectorRecord& r) {
  const auto modulus = r.Hex("Modulus");
  const std::size_t width = modulus.size() / 4 + 1;
  const Limbs n = FromBytes(modulus, width);
  const Limbs d = FromBytes(r.Hex("PrivateExponent"), width);
  const Limbs c = FromBytes(cipher, width);
  Limbs m(width, 0);
  m[0] = 1;
  for (std::size_t bit = 32 * width; bit-- > 0;) {
    m = MulMod(m, m, n);
    if ((d[bit / 32] >> (bit % 32)) & 1) m = MulMod(m, c, n);
  }
  std::vector<std::uint8_t> out(modulus.size());
  for (std::size_t i = 0; i < out.size(); ++i) {
    const std::size_t bit = 8 * (out.size() - 1 - i);
    out[i] = static_cast<std::uint8_t>(m[bit / 32] >> (bit % 32));
  }
  return out;
}

VectorRecord TestKey() {
  const auto records = test::LoadVectorFile("crypto/rsa_pkcs1.vec");
  return records.front();
}

// The block must be 00 02, at least eight nonzero random bytes, 00, then the message; two
// encryptions of one message must differ in their random bytes.
TEST(RsaPublicKey, EncryptsWithType2PaddingThatTheKeyHolderOpens) {
  const VectorRecord r = TestKey();
  ASSERT_TRUE(r.Ok()) << r.Error();
  const RsaPublicKey key(r.Hex("Spki"));
  ASSERT_EQ(key.Size(), 128u);
  for (std::size_t length : {std::size_t{0}, std::size_t{16}, std::size_t{117}}) {
    std::vector<std::uint8_t> message(length);
    for (std::size_t i = 0; i < length; ++i) message[i] = static_cast<std::uint8_t>(i * 7 + 1);
    const auto first = key.EncryptPkcs1v15(message);
    const auto second = key.EncryptPkcs1v15(message);
    ASSERT_EQ(first.size(), 128u);
    EXPECT_NE(first, second) << length;
    const auto block = Open(first, r);
    ASSERT_EQ(block[0], 0x00);
    ASSERT_EQ(block[1], 0x02);
    const std::size_t separator = block.size() - length - 1;
    ASSERT_GE(separator, 10u);
    for (std::size_t i = 2; i < separator; ++i) EXPECT_NE(block[i], 0x00) << "at " << i;
    EXPECT_EQ(block[separator], 0x00);
    EXPECT_EQ(std::vector<std::uint8_t>(block.begin() + separator + 1, block.end()), message);
  }
}

TEST(RsaPublicKey, RefusesOtherKeysBrokenKeysAndMessagesTooLong) {
  const VectorRecord r = TestKey();
  ASSERT_TRUE(r.Ok()) << r.Error();
  EXPECT_THROW(RsaPublicKey(r.Hex("EcSpki")), OVException);
  EXPECT_THROW(RsaPublicKey(std::vector<std::uint8_t>{}), OVException);
  auto cut = r.Hex("Spki");
  cut.resize(cut.size() / 2);
  EXPECT_THROW(RsaPublicKey{cut}, OVException);
  const RsaPublicKey key(r.Hex("Spki"));
  EXPECT_THROW(key.EncryptPkcs1v15(std::vector<std::uint8_t>(118, 1)), OVException);
}

}  // namespace
}  // namespace ov
