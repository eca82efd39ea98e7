// DSKPP_PRF_Factory: picks the DSKPP pseudo-random function and the password-based key derivation
// by algorithm URN. The one known URN is "urn:ietf:params:xml:ns:keyprov:dskpp:prf-sha256", in any
// letter case; any other gives null, which the callers turn into 6003.
#pragma once

#include <memory>
#include <string_view>

#include "crypto/IDSKPP_PRF.h"
#include "crypto/IPBKDF2.h"

namespace ov {

class DSKPP_PRF_Factory {
 public:
  static constexpr std::string_view kPrfSha256Urn =
      "urn:ietf:params:xml:ns:keyprov:dskpp:prf-sha256";

  static std::unique_ptr<IDSKPP_PRF> GetPRFInstance(std::string_view algorithmUrn);
  static std::unique_ptr<IPBKDF2> GetPBKDF2Instance(std::string_view algorithmUrn);
};

}  // namespace ov
