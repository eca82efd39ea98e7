// Token listing through OV_GetTokenListA over 10, 100 and 1,000 token files: every file is opened
// and its name and information are read, so the cost per token ("per_token") should stay flat as
// the store grows; count-only listing reads no file. Format-3 and legacy stores are measured
// apart, since their files cost differently to open. Runs in a private temporary home.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "common/TokenInfoRecords.h"
#include "ov/ov_api.h"
#include "storage/OVEngineStore.h"
#include "storage/StoragePaths.h"

namespace {

namespace fs = std::filesystem;

constexpr int kLargest = 1000;

class BenchStore : public ov::OVEngineStore {
 public:
  BenchStore(const std::string& name, bool legacy) : OVEngineStore("KLSA_GA_8_2", name) {
    m_bIsOv3File = !legacy;
    m_nTokenState = ACTIVATED_STATE;
    ov::TokenData::SetText(m_TokenData.m_szPolicy, "17840159");
  }
  int32_t GetTokenInfo(OVTokenInfoA& info) override {
    info.m_szTokenName = ov::DuplicateText(std::string_view(m_szTokenName));
    info.m_szTokenPolicy = ov::DuplicateText(std::string_view("17840159"));
    info.m_nTokenState = m_nTokenState;
    return OV_OK;
  }
};

struct Store {
  Store() {
    std::string pattern = (fs::temp_directory_path() / "ovbench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    root = pattern;
    setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", root.c_str(), 1);
    // One pool of files per kind, made once; each size copies the first n of them in.
    for (bool legacy : {false, true}) {
      const fs::path folder = ov::GetFilePath(legacy ? ov::kTokenFolderLegacy : ov::kTokenFolderOv3);
      for (int i = 0; i < kLargest; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "Token %04d", i);
        BenchStore token(name, legacy);
        if (!token.SaveData()) std::abort();
        pool[legacy].push_back(token.TokenFilePath());
      }
      fs::create_directories(root / (legacy ? "pool-legacy" : "pool-ov3"));
      for (std::string& path : pool[legacy]) {
        const fs::path moved = root / (legacy ? "pool-legacy" : "pool-ov3") / fs::path(path).filename();
        fs::rename(path, moved);
        path = moved.string();
      }
    }
    if (OV_InitializeA("KLSA_GA_8_2", 0) != OV_OK) std::abort();
  }
  ~Store() {
    OV_Finalize();
    std::error_code ignored;
    fs::remove_all(root, ignored);
  }

  // Leaves exactly n tokens of one kind in the store.
  void Fill(int n, bool legacy) {
    for (const char* folder : {ov::kTokenFolderOv3, ov::kTokenFolderLegacy}) {
      const fs::path path = ov::GetFilePath(folder);
      fs::remove_all(path);
      fs::create_directories(path);
    }
    const fs::path target = ov::GetFilePath(legacy ? ov::kTokenFolderLegacy : ov::kTokenFolderOv3);
    for (int i = 0; i < n; ++i) {
      fs::copy_file(pool[legacy][i], target / fs::path(pool[legacy][i]).filename());
    }
  }

  fs::path root;
  std::vector<std::string> pool[2];
};

Store& TheStore() {
  static Store store;
  return store;
}

void List(benchmark::State& state, bool legacy) {
  const int n = static_cast<int>(state.range(0));
  TheStore().Fill(n, legacy);
  std::vector<OVTokenInfoA> list(static_cast<std::size_t>(n));
  for (auto _ : state) {
    int32_t count = n;
    if (OV_GetTokenListA(list.data(), &count) != OV_OK || count != n) {
      state.SkipWithError("listing failed");
      break;
    }
    OV_FreeTokenListA(list.data(), count);
  }
  state.counters["per_token"] =
      benchmark::Counter(n, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_ListFormat3Tokens(benchmark::State& state) { List(state, false); }
BENCHMARK(BM_ListFormat3Tokens)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_ListLegacyTokens(benchmark::State& state) { List(state, true); }
BENCHMARK(BM_ListLegacyTokens)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_CountTokens(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  TheStore().Fill(n, false);
  for (auto _ : state) {
    int32_t count = 0;
    if (OV_GetTokenListA(nullptr, &count) != OV_OK || count != n) {
      state.SkipWithError("counting failed");
      break;
    }
  }
  state.counters["per_token"] =
      benchmark::Counter(n, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_CountTokens)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

}  // namespace
