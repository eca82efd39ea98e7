// PBKDF2-HMAC-SHA256 as the token files (10,000 iterations) and the enrollment (100,000) use it:
// the library's PBKDF2_SHA256 beside a direct PKCS5_PBKDF2_HMAC call in the same run, so the cost
// of the wrapper (factory, parameter setup, result buffer) shows against OpenSSL on its own.
// Expected: the two within a few percent of each other.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "crypto/DSKPP_PRF_Factory.h"

namespace {

constexpr std::string_view kUrn = "urn:ietf:params:xml:ns:keyprov:dskpp:prf-sha256";
constexpr std::array<std::uint8_t, 6> kPin{'1', '2', '3', '4', '5', '6'};
constexpr std::array<std::uint8_t, 32> kSalt{0x5A, 0x17, 0x33, 0x90, 0x01, 0xC4, 0x7E, 0x28};
constexpr int kKeyLength = 32;

void BM_PBKDF2_SHA256(benchmark::State& state) {
  const auto iterations = static_cast<std::int32_t>(state.range(0));
  for (auto _ : state) {
    auto kdf = ov::DSKPP_PRF_Factory::GetPBKDF2Instance(kUrn);
    ov::SecureBytes key = kdf->DoPBKDF2(kPin, kSalt, iterations, kKeyLength);
    benchmark::DoNotOptimize(key.data());
    if (key.size() != kKeyLength) state.SkipWithError("derivation failed");
  }
}

void BM_PKCS5_PBKDF2_HMAC(benchmark::State& state) {
  const auto iterations = static_cast<int>(state.range(0));
  std::array<unsigned char, kKeyLength> key{};
  for (auto _ : state) {
    if (PKCS5_PBKDF2_HMAC(reinterpret_cast<const char*>(kPin.data()), kPin.size(), kSalt.data(),
                          kSalt.size(), iterations, EVP_sha256(), kKeyLength, key.data()) != 1) {
      state.SkipWithError("derivation failed");
    }
    benchmark::DoNotOptimize(key.data());
  }
}

// On a shared machine the fastest repetition is the steadiest figure to compare: other load only
// ever adds time. Run with --benchmark_repetitions=N to get it.
double Fastest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

BENCHMARK(BM_PBKDF2_SHA256)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", Fastest);
BENCHMARK(BM_PKCS5_PBKDF2_HMAC)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", Fastest);

}  // namespace
