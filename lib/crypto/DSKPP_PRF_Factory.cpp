#include "crypto/DSKPP_PRF_Factory.h"

#include <algorithm>

#include "common/LogFacade.h"
#include "crypto/DSKPP_PRF_SHA256.h"
#include "crypto/PBKDF2_SHA256.h"

namespace ov {

namespace {

bool IsPrfSha256(std::string_view urn) {
  return std::equal(urn.begin(), urn.end(), DSKPP_PRF_Factory::kPrfSha256Urn.begin(),
                    DSKPP_PRF_Factory::kPrfSha256Urn.end(), [](char a, char b) {
                      return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b;
                    });
}

}  // namespace

std::unique_ptr<IDSKPP_PRF> DSKPP_PRF_Factory::GetPRFInstance(std::string_view algorithmUrn) {
  LogScope log("DSKPP_PRF_Factory::GetPRFInstance");
  log.Text("PRFAlgorithmURN", algorithmUrn);
  if (!IsPrfSha256(algorithmUrn)) {
    log.Message("PRFAlgorithmURN is not supported by DSKPP_PRF_Factory");
    return nullptr;
  }
  return std::make_unique<DSKPP_PRF_SHA256>();
}

std::unique_ptr<IPBKDF2> DSKPP_PRF_Factory::GetPBKDF2Instance(std::string_view algorithmUrn) {
  LogScope log("DSKPP_PRF_Factory::GetPBKDF2Instance");
  log.Text("PRFAlgorithmURN", algorithmUrn);
  if (!IsPrfSha256(algorithmUrn)) {
    log.Message("PRFAlgorithmURN is not supported by DSKPP_PRF_Factory.");
    return nullptr;
  }
  return std::make_unique<PBKDF2_SHA256>();
}

}  // namespace ov
