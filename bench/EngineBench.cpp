// OV_ValidatePinA with the right and with a wrong PIN, each beside the PBKDF2 work it cannot avoid
// (two derivations for the right PIN, five for a wrong one), and OV_GenerateOtpA for an event and
// a time token. Runs in a private temporary home.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "ov/ov_api.h"

namespace {

struct Library {
  Library() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ovbench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    root = pattern;
    setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
    std::filesystem::create_directories(root / "run");
    setenv("XDG_RUNTIME_DIR", (root / "run").c_str(), 1);
    if (OV_InitializeA("KLSA_GA_8_2", 0) != OV_OK) std::abort();
  }
  ~Library() {
    OV_Finalize();
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
  }
  // Opens `name`, activating it with `policy` the first time.
  void Open(const char* name, const char* policy, const char* pin) {
    OV_ReleaseInstance();
    if (OV_CreateInstanceA(name, 0) != OV_OK) std::abort();
    char code[OV_ACTIVATION_CODE_SIZE] = {};
    if (OV_GenerateActivationCodeA(policy, code) == OV_OK && pin != nullptr) OV_SetPinA(pin);
  }
  std::filesystem::path root;
};

Library& Lib() {
  static Library library;
  return library;
}

void Pbkdf2(int times) {
  uint8_t out[32];
  const uint8_t salt[32] = {1};
  for (int i = 0; i < times; ++i) {
    PKCS5_PBKDF2_HMAC("1234", 4, salt, sizeof salt, 10000, EVP_sha256(), sizeof out, out);
  }
  benchmark::DoNotOptimize(out);
}

void BM_ValidatePinRight(benchmark::State& state) {
  Lib().Open("Bench PIN", "318998566", "1234");
  for (auto _ : state) benchmark::DoNotOptimize(OV_ValidatePinA("1234"));
}
BENCHMARK(BM_ValidatePinRight)->Unit(benchmark::kMillisecond);

void BM_TwoPbkdf2(benchmark::State& state) {
  for (auto _ : state) Pbkdf2(2);
}
BENCHMARK(BM_TwoPbkdf2)->Unit(benchmark::kMillisecond);

void BM_ValidatePinWrong(benchmark::State& state) {
  // "maxattacks" 0 and no lock-out: the wrong PIN can be tried again and again.
  Lib().Open("Bench wrong", "19931163", "1234");
  for (auto _ : state) benchmark::DoNotOptimize(OV_ValidatePinA("9999"));
}
BENCHMARK(BM_ValidatePinWrong)->Unit(benchmark::kMillisecond);

void BM_FivePbkdf2(benchmark::State& state) {
  for (auto _ : state) Pbkdf2(5);
}
BENCHMARK(BM_FivePbkdf2)->Unit(benchmark::kMillisecond);

void GenerateOtp(benchmark::State& state) {
  for (auto _ : state) {
    char otp[9] = {};
    int32_t length = 8;
    benchmark::DoNotOptimize(OV_GenerateOtpA(nullptr, 0, otp, &length));
  }
}

void BM_GenerateOtpEvent(benchmark::State& state) {
  Lib().Open("Bench event", "19929092", nullptr);  // event, no PIN: every code saves the counter
  GenerateOtp(state);
}
BENCHMARK(BM_GenerateOtpEvent)->Unit(benchmark::kMicrosecond);

void BM_GenerateOtpTime(benchmark::State& state) {
  Lib().Open("Bench time", "75811023", "1234");  // time, PIN of 4
  OV_ValidatePinA("1234");
  GenerateOtp(state);
}
BENCHMARK(BM_GenerateOtpTime)->Unit(benchmark::kMicrosecond);

}  // namespace
