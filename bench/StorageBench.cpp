// Token files: save and load of one token, and reading its seed with the right and a wrong PIN,
// each beside the PBKDF2 derivations it cannot avoid (two for the right PIN, five for a wrong one
// on the machine drive), measured in the same run. Runs in a private temporary home.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "common/TokenInfoRecords.h"
#include "storage/OVEngineStore.h"

namespace {

class BenchStore : public ov::OVEngineStore {
 public:
  BenchStore() : OVEngineStore("KLSA_GA_8_2", "Bench token") {}
  int32_t GetTokenInfo(OVTokenInfoA& info) override {
    info.m_szTokenName = ov::DuplicateText(std::string_view(m_szTokenName));
    info.m_szTokenPolicy = ov::DuplicateText(std::string_view("17840159"));
    return OV_OK;
  }
  void SetOtpKey(std::string_view key) { m_szOtpKey = key; }
  bool Load() {
    return GetTokenData(m_szUniqueID, TokenFilePath(), m_TokenData, true) &&
           ReadOV3FromFile(m_Properties, TokenFilePath(), m_szUniqueID, true);
  }
};

struct PrivateHome {
  PrivateHome() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ovbench-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) {
      root = pattern;
      setenv("XDG_DATA_HOME", root.c_str(), 1);
    }
  }
  ~PrivateHome() {
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
  }
  std::filesystem::path root;
};

BenchStore& Token() {
  static PrivateHome home;
  static BenchStore store;
  static const bool ready = [] {
    store.SetOtpKey("00112233445566778899AABBCCDDEEFF00112233445566778899AABBCCDDEEFF");
    return store.SaveData() && store.EncryptOTPKey("1234") == OV_OK;
  }();
  if (!ready) std::abort();
  return store;
}

void Pbkdf2(int times) {
  uint8_t out[32];
  const uint8_t salt[32] = {1};
  for (int i = 0; i < times; ++i) {
    PKCS5_PBKDF2_HMAC("1234", 4, salt, sizeof salt, 10000, EVP_sha256(), sizeof out, out);
  }
  benchmark::DoNotOptimize(out);
}

void BM_SaveToken(benchmark::State& state) {
  BenchStore& store = Token();
  for (auto _ : state) benchmark::DoNotOptimize(store.SaveData());
}
BENCHMARK(BM_SaveToken)->Unit(benchmark::kMillisecond);

void BM_LoadToken(benchmark::State& state) {
  Token();
  for (auto _ : state) {
    BenchStore reader;
    benchmark::DoNotOptimize(reader.Load());
  }
}
BENCHMARK(BM_LoadToken)->Unit(benchmark::kMillisecond);

void BM_ReadSeedRightPin(benchmark::State& state) {
  BenchStore reader;
  Token();
  reader.Load();
  for (auto _ : state) benchmark::DoNotOptimize(reader.DecryptOTPKey("1234"));
}
BENCHMARK(BM_ReadSeedRightPin)->Unit(benchmark::kMillisecond);

void BM_TwoPbkdf2Derivations(benchmark::State& state) {
  for (auto _ : state) Pbkdf2(2);
}
BENCHMARK(BM_TwoPbkdf2Derivations)->Unit(benchmark::kMillisecond);

void BM_ReadSeedWrongPin(benchmark::State& state) {
  BenchStore reader;
  Token();
  reader.Load();
  for (auto _ : state) benchmark::DoNotOptimize(reader.DecryptOTPKey("9999"));
}
BENCHMARK(BM_ReadSeedWrongPin)->Unit(benchmark::kMillisecond);

void BM_FivePbkdf2Derivations(benchmark::State& state) {
  for (auto _ : state) Pbkdf2(5);
}
BENCHMARK(BM_FivePbkdf2Derivations)->Unit(benchmark::kMillisecond);

}  // namespace
