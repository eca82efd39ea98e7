// A whole automatic enrollment (OV_PerformAutoEnrollmentA: both HTTPS exchanges with the local test
// server, the checks, the key confirmation and the token installed) beside its floor, the client's
// unavoidable work: one PBKDF2-HMAC-SHA256 of 100,000 iterations (the authentication data) and one
// RSA-2048 PKCS#1 v1.5 encryption (the client nonce). The server's own share (its PBKDF2 of the
// same cost, the RSA decryption, TLS) lies between the two. Runs in a private temporary home; each
// enrollment gets a fresh token, made and deleted outside the timing.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>
#include <stdlib.h>

#include <array>
#include <fstream>
#include <memory>
#include <string>

#include "ov/ov_api.h"
#include "support/EnrollmentServer.h"
#include "support/TestEnvironment.h"

namespace {

// Level 3, event, no PIN.
constexpr char kPolicy[] = "19929092";

struct Setting {
  Setting() {
    setenv("no_proxy", "127.0.0.1", 1);
    setenv("NO_PROXY", "127.0.0.1", 1);
    const auto users = ov::test::PrivateHome::Root() / "users.json";
    std::ofstream(users) << "[{\"user\": \"alice\", \"password\": \"secret\", \"policy\": \"" << kPolicy
                         << "\", \"serial\": \"OVT-BENCH\"}]";
    server = std::make_unique<ov::test::EnrollmentServer>(
        std::vector<std::string>{"--users", users.string()});
    if (!server->Ok()) std::abort();
    setenv("OV_ENROLL_CA_FILE", server->CaFile().c_str(), 1);
    if (OV_InitializeA("KLSA_GA_8_2", 0) != OV_OK) std::abort();
  }
  ~Setting() {
    OV_Finalize();
    server.reset();
  }
  ov::test::PrivateHome home;  // made first: the token files and the users file go into it
  std::unique_ptr<ov::test::EnrollmentServer> server;
};

Setting& Env() {
  static Setting setting;
  return setting;
}

void BM_AutoEnrollment(benchmark::State& state) {
  const std::string url = Env().server->Url();
  int n = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const std::string name = "Bench " + std::to_string(++n);
    if (OV_CreateInstanceA(name.c_str(), 0) != OV_OK) state.SkipWithError("no token");
    state.ResumeTiming();
    int32_t minLength = 0, maxLength = 0, complexity = 0;
    if (OV_PerformAutoEnrollmentA(url.c_str(), "alice", "secret", nullptr, nullptr, 20, &minLength,
                                  &maxLength, &complexity) != OV_OK) {
      state.SkipWithError("enrollment failed");
    }
    state.PauseTiming();
    OV_DeleteToken();
    OV_ReleaseInstance();
    state.ResumeTiming();
  }
}

void BM_Floor_Pbkdf2AndRsa(benchmark::State& state) {
  EVP_PKEY* key = EVP_PKEY_Q_keygen(nullptr, nullptr, "RSA", static_cast<size_t>(2048));
  if (key == nullptr) std::abort();
  std::array<unsigned char, 32> nonce{1, 2, 3};
  std::array<unsigned char, 256> cipher{};
  std::array<unsigned char, 16> kac{};
  const std::string secret = "736563726574";  // the password as hex text, as the client uses it
  std::array<unsigned char, 32 + 294> salt{};
  for (auto _ : state) {
    PKCS5_PBKDF2_HMAC(secret.data(), static_cast<int>(secret.size()), salt.data(), salt.size(),
                      100000, EVP_sha256(), kac.size(), kac.data());
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new(key, nullptr);
    size_t length = cipher.size();
    if (ctx == nullptr || EVP_PKEY_encrypt_init(ctx) != 1 ||
        EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_PKCS1_PADDING) != 1 ||
        EVP_PKEY_encrypt(ctx, cipher.data(), &length, nonce.data(), nonce.size()) != 1) {
      state.SkipWithError("encryption failed");
    }
    EVP_PKEY_CTX_free(ctx);
    benchmark::DoNotOptimize(kac.data());
    benchmark::DoNotOptimize(cipher.data());
  }
  EVP_PKEY_free(key);
}

BENCHMARK(BM_AutoEnrollment)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Floor_Pbkdf2AndRsa)->Unit(benchmark::kMillisecond);

}  // namespace
