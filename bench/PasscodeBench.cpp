// One passcode through the passcode object, as the engine asks for it: an event passcode (HOTP of
// the moving factor, one HMAC-SHA-256 over 8 bytes) and a challenge-response passcode (OCRA
// suite OCRA-1:HOTP-SHA256-8:QN08: the 154-byte message is built and MACed). Each request sets up
// a fresh HMAC context, as the computation is keyed per call.
// Expected: one to a few microseconds each (about 1.3 and 2 here), OCRA slower for its message
// and longer MAC input; either way far below what a person waiting for a code could notice.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "engine/NoxOVAuthenticator.h"

namespace {

constexpr std::array<std::uint8_t, 32> kKey{'1', '2', '3', '4', '5', '6', '7', '8', '9', '0', '1',
                                            '2', '3', '4', '5', '6', '7', '8', '9', '0', '1', '2',
                                            '3', '4', '5', '6', '7', '8', '9', '0', '1', '2'};

void BM_EventPasscode(benchmark::State& state) {
  ov::NoxOVAuthenticator authenticator(kKey, 6, 0, "HmacSHA256");
  for (auto _ : state) {
    ov::SecureString passcode = authenticator.GenPwd(nullptr, authenticator.GetCounter());
    benchmark::DoNotOptimize(passcode.data());
  }
}

void BM_OcraPasscode(benchmark::State& state) {
  ov::NoxOVAuthenticator authenticator(kKey, 8, 0, "OCRA-1:HOTP-SHA256-8:QN08");
  for (auto _ : state) {
    ov::SecureString passcode = authenticator.GenPwd("12345678", 0);
    benchmark::DoNotOptimize(passcode.data());
  }
}

// On a shared machine the fastest repetition is the steadiest figure: other load only adds time.
// Run with --benchmark_repetitions=N to get it.
double Fastest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

BENCHMARK(BM_EventPasscode)->Unit(benchmark::kMicrosecond)->ComputeStatistics("min", Fastest);
BENCHMARK(BM_OcraPasscode)->Unit(benchmark::kMicrosecond)->ComputeStatistics("min", Fastest);

}  // namespace
