// Fuzzes the policy-string parser (policy strings come from users and enrollment servers) and the
// writer behind it.
//
// Input layout: byte 0 picks a field key, byte 1 a value for it (as a signed byte), the rest is the
// policy text. The target checks, beyond memory safety:
//  - a refused string raises only the parser's codes and leaves the previous policy untouched;
//  - an accepted string keeps its text, has a level of 1..5, a mode of 0..6 and field values
//    from their tables;
//  - the string written back from the fields is plain decimal and reads back to the same answers;
//  - setting a field either succeeds and reads back, or fails with a parser code.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "common/OVException.h"
#include "policy/OVPolicy.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

bool IsParserCode(int32_t code) { return code >= 4097 && code <= 4100; }

constexpr const char* kKeys[] = {
    "mode",
    "pwdlen",
    "pinlen",
    "maxattacks",
    "pinusechanges",
    "attackdelay",
    "securemode",
    "transign",
    "tstick",
    "challlen",
    "v3maxattacks",
    "OTP_ENCODING",
    "ALLOW_TRIVIAL_PIN",
    "PIN_VERIFICATION",
    "PIN_CACHING_ACTIVE",
    "PIN_LEN_EXT_IGNORED_TAG",
    "PIN_LEN_EXT_VALUE",
    "NUMERIC_ONLY_PIN",
};

// Every answer of a policy, an exception's code standing in for the answer it prevented.
std::vector<int64_t> Answers(const ov::OVPolicy& policy, std::string* algorithm) {
  std::vector<int64_t> answers;
  auto add = [&answers](auto&& query) {
    try {
      answers.push_back(static_cast<int64_t>(query()));
    } catch (const ov::OVException& e) {
      answers.push_back(-100000 - e.GetErrorCode());
    }
  };
  for (const char* key : kKeys) {
    // "v3maxattacks" 21 and no extension both mean "level 2's maxattacks"; the writer puts 21
    // where a level 4 string needs an extension.
    add([&] {
      const int32_t answer = policy.GetPolicyParameter(key);
      return std::string_view(key) == "v3maxattacks" && answer == 21 ? -1 : answer;
    });
  }
  add([&] { return policy.GetPolicyLevel(); });
  add([&] { return policy.GetPinLen(); });
  add([&] { return policy.IsTrivialPinAllowed(); });
  add([&] { return policy.IsTrivialPinAllowedEx(); });
  *algorithm = policy.GetTokenAlgorithm();
  return answers;
}

void CheckAccepted(const ov::OVPolicy& policy, std::string_view text) {
  Check(policy.IsValid());
  Check(text.empty() ? policy.GetPolicyString() == "17840159" : policy.GetPolicyString() == text);
  const int32_t level = policy.GetPolicyLevel();
  Check(level >= 1 && level <= 5);
  const int32_t mode = policy.GetMode();
  Check(mode >= 0 && mode <= 6);
  Check(!policy.GetTokenAlgorithm().empty());
  const int32_t pwdlen = policy.GetPwdLen();
  Check(pwdlen == 6 || pwdlen == 8);
  const int32_t pinlen = policy.GetPinLen();
  Check(pinlen == 0 || (pinlen >= 4 && pinlen <= 8));
  const int32_t maxattacks = policy.GetMaxAttacks();
  Check(maxattacks >= 0 && maxattacks <= 20);
  Check(policy.GetTStick() == -1 || policy.GetTStick() >= 20);
  Check((policy.GetTStick() != -1) == policy.IsTimeBased() || mode == 3);
  (void)policy.IsTrivialPinAllowed();
  (void)policy.IsTrivialPinAllowedEx();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const char* key = kKeys[data[0] % (sizeof(kKeys) / sizeof(kKeys[0]))];
  const int32_t value = static_cast<int8_t>(data[1]);
  const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);

  ov::OVPolicy policy;
  policy.SetPolicyString("43063243095");
  std::string algorithmBefore;
  const std::vector<int64_t> before = Answers(policy, &algorithmBefore);
  try {
    policy.SetPolicyString(text);
  } catch (const ov::OVException& e) {
    Check(IsParserCode(e.GetErrorCode()));
    std::string algorithm;
    Check(Answers(policy, &algorithm) == before && algorithm == algorithmBefore);
    Check(policy.GetPolicyString() == "43063243095");
    return 0;
  }
  CheckAccepted(policy, text);

  // Written back and read again, the fields answer the same.
  std::string algorithm;
  const std::vector<int64_t> answers = Answers(policy, &algorithm);
  ov::OVPolicy copy = policy;
  const std::string written = copy.FormulatePolicyString();
  Check(!written.empty() && written.size() <= 19 && written[0] != '0');
  for (char c : written) Check(c >= '0' && c <= '9');
  ov::OVPolicy reread;
  reread.SetPolicyString(written);
  std::string rereadAlgorithm;
  Check(Answers(reread, &rereadAlgorithm) == answers && rereadAlgorithm == algorithm);

  // One field set by hand.
  try {
    policy.SetPolicyParameter(key, value);
    const int32_t answer = policy.GetPolicyParameter(key);
    Check(answer == value || answer == -1 || std::string_view(key) == "maxattacks");
  } catch (const ov::OVException& e) {
    Check(IsParserCode(e.GetErrorCode()));
  }
  return 0;
}
