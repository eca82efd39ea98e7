// The Windows build's OV_ValidatePinA (through ovcore.dll) with the right and with a wrong PIN,
// each beside BCryptDeriveKeyPBKDF2 doing the PBKDF2 work that call cannot avoid, in the same run:
// two derivations of 10,000 iterations of HMAC-SHA-256 for the right PIN, five for a wrong one.
// The ratio of the two is the library's own cost; the program also times one DPAPI seal and open,
// which every read and save of a token file does several times. Google Benchmark is not built for mingw here, so
// the timing is this program's own: the median of a number of rounds after one warm-up round.
//   orvanti-bench-pin [ROUNDS]
// clang-format off
#include <windows.h>
#include <bcrypt.h>
#include <dpapi.h>
// clang-format on

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "ov/ov_api.h"
#include "support/TestEnvironment.h"

namespace {

using Clock = std::chrono::steady_clock;

double MedianMilliseconds(int rounds, const std::function<void()>& work) {
  work();
  std::vector<double> times;
  for (int i = 0; i < rounds; ++i) {
    const auto start = Clock::now();
    work();
    times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

class Pbkdf2 {
 public:
  Pbkdf2() {
    if (BCryptOpenAlgorithmProvider(&m_algorithm, BCRYPT_SHA256_ALGORITHM, nullptr,
                                    BCRYPT_ALG_HANDLE_HMAC_FLAG) != 0) {
      std::abort();
    }
  }
  Pbkdf2(const Pbkdf2&) = delete;
  Pbkdf2& operator=(const Pbkdf2&) = delete;
  ~Pbkdf2() { BCryptCloseAlgorithmProvider(m_algorithm, 0); }

  void Derive(int times) const {
    UCHAR password[] = {'1', '2', '3', '4'};
    UCHAR salt[32] = {1};
    UCHAR out[32];
    for (int i = 0; i < times; ++i) {
      if (BCryptDeriveKeyPBKDF2(m_algorithm, password, sizeof password, salt, sizeof salt, 10000,
                                out, sizeof out, 0) != 0) {
        std::abort();
      }
    }
  }

 private:
  BCRYPT_ALG_HANDLE m_algorithm = nullptr;
};

// One CryptProtectData and one CryptUnprotectData of a record-sized text with entropy, as a token
// file's save does for each of its sealed parts.
void SealAndOpen() {
  BYTE plain[64] = {1};
  BYTE salt[32] = {2};
  DATA_BLOB in{sizeof plain, plain}, entropy{sizeof salt, salt}, sealed{}, opened{};
  if (!CryptProtectData(&in, L"bench", &entropy, nullptr, nullptr, 0, &sealed) ||
      !CryptUnprotectData(&sealed, nullptr, &entropy, nullptr, nullptr, 0, &opened)) {
    std::abort();
  }
  LocalFree(sealed.pbData);
  SecureZeroMemory(opened.pbData, opened.cbData);
  LocalFree(opened.pbData);
}

// Opens `name`, activating it with `policy` and setting `pin`.
void OpenToken(const char* name, const char* policy, const char* pin) {
  OV_ReleaseInstance();
  char code[OV_ACTIVATION_CODE_SIZE] = {};
  if (OV_CreateInstanceA(name, 0) != OV_OK || OV_GenerateActivationCodeA(policy, code) != OV_OK ||
      OV_SetPinA(pin) != OV_OK) {
    std::fprintf(stderr, "could not make the token %s\n", name);
    std::exit(1);
  }
}

void Report(const char* what, double libraryMs, const char* reference, double referenceMs) {
  std::printf("%-34s %9.2f ms\n%-34s %9.2f ms\n%-34s %9.2f\n\n", what, libraryMs, reference,
              referenceMs, "ratio", libraryMs / referenceMs);
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;
  // A private application-data folder: the benchmark's tokens never touch the user's.
  const ov::test::PrivateHome home;
  if (OV_InitializeA("KLSA_GA_8_2", 0) != OV_OK) {
    std::fprintf(stderr, "OV_InitializeA failed\n");
    return 1;
  }
  const Pbkdf2 pbkdf2;
  std::printf("median of %d rounds\n\n", rounds);

  OpenToken("Bench PIN", "318998566", "1234");
  const double right = MedianMilliseconds(rounds, [] { OV_ValidatePinA("1234"); });
  const double two = MedianMilliseconds(rounds, [&pbkdf2] { pbkdf2.Derive(2); });
  Report("OV_ValidatePinA, right PIN", right, "BCryptDeriveKeyPBKDF2 x 2", two);

  // "maxattacks" 0 and no lock-out: the wrong PIN can be tried again and again.
  OpenToken("Bench wrong", "19931163", "1234");
  const double wrong = MedianMilliseconds(rounds, [] { OV_ValidatePinA("9999"); });
  const double five = MedianMilliseconds(rounds, [&pbkdf2] { pbkdf2.Derive(5); });
  Report("OV_ValidatePinA, wrong PIN", wrong, "BCryptDeriveKeyPBKDF2 x 5", five);

  std::printf("%-34s %9.2f ms\n", "CryptProtectData + Unprotect",
              MedianMilliseconds(rounds, SealAndOpen));

  OV_ReleaseInstance();
  OV_Finalize();
  return 0;
}
