// Token files made for tests through the library's own persistence (OVEngineStore): format-3
// files and legacy ".dat" files in the envelopes of the drive the test runs on. The engine proper
// is not needed: the store is given the record and the information a file keeps.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "common/TokenInfoRecords.h"
#include "crypto/CryptAlgorithms.h"
#include "crypto/OrvantiAPI.h"
#include "platform/Platform.h"
#include "storage/OVEngineStore.h"
#include "storage/Ov80Profile.h"
#include "storage/StoragePaths.h"

namespace ov::test {

class FixtureStore : public OVEngineStore {
 public:
  explicit FixtureStore(const std::string& name, std::string_view uniqueId = "KLSA_GA_8_2")
      : OVEngineStore(uniqueId, name) {}

  // What a format-3 file keeps of the information record; the engine fills it the same way.
  int32_t GetTokenInfo(OVTokenInfoA& info) override {
    info.m_szTokenName = DuplicateText(std::string_view(m_szTokenName));
    info.m_szTokenPolicy = DuplicateText(TokenData::Text(m_TokenData.m_szPolicy));
    info.m_szTokenSerialNo = DuplicateText(TokenData::Text(m_TokenData.m_szSerialNo));
    info.m_nTokenState = m_nTokenState;
    info.m_nBadPinCount = m_nBadPinCount;
    return OV_OK;
  }

  TokenData& Record() { return m_TokenData; }
  OV3Properties& Properties() { return m_Properties; }
  const std::string& FileName() const { return m_szFileName; }
  const std::string& UniqueID() const { return m_szUniqueID; }
  void SetLegacy(bool legacy) { m_bIsOv3File = !legacy; }
  void SetState(int32_t state) { m_nTokenState = state; }
  void SetBadPinCount(int32_t count) { m_nBadPinCount = count; }
  void SetOtpKey(std::string_view key) { m_szOtpKey = key; }
  const SecureString& OtpKey() const { return m_szOtpKey; }

  // The token's file in the given format into the record (and, for the PIN, the map).
  bool Load(bool isOv3) {
    const std::string path = GetFullFilePath(m_szFileName, isOv3);
    return GetTokenData(m_szUniqueID, path, m_TokenData, isOv3) &&
           ReadOV3FromFile(m_Properties, path, m_szUniqueID, isOv3);
  }
};

inline constexpr char kFixtureOtpKey[] =
    "00112233445566778899AABBCCDDEEFF00112233445566778899AABBCCDDEEFF";

// A format-3 token with `policy` (empty: none yet) in `state`.
inline bool MakeOv3Token(const std::string& name, std::string_view policy, int32_t state,
                         std::string_view serial = "") {
  FixtureStore store(name);
  TokenData::SetText(store.Record().m_szPolicy, policy);
  TokenData::SetText(store.Record().m_szSerialNo, serial);
  store.SetState(state);
  return store.SaveData();
}

// A legacy ".dat" token in `state` whose OTP key is protected with `pin` as the 8.2 program did.
inline bool MakeLegacyToken(const std::string& name, int32_t state, const char* pin = "1234",
                            std::string_view policy = "17840159") {
  FixtureStore store(name);
  store.SetLegacy(true);
  store.SetState(state);
  TokenData::SetText(store.Record().m_szPolicy, policy);
  SecureString protectedKey(kFixtureOtpKey);
  if (!OrvantiAPI::EncryptKP(pin, &protectedKey, CALG_3DES)) return false;
  TokenData::SetText(store.Record().m_szEncOtpKey, protectedKey.view());
  return store.SaveData();
}

// The 8.0 program's "ProfileData" file in the storage folder: one token with the fixture OTP key
// protected with the PIN "1234", passcode length 6 and moving factor 5; `activated` 0 leaves it
// waiting for its PIN (its key then comes from the key material "00112233445566778899").
inline bool WriteOv80Profile(uint32_t activated) {
  std::vector<uint8_t> plain(kOv80ProfileSize, 0);
  plain[0] = 1;  // holds a token
  plain[4] = static_cast<uint8_t>(activated);
  plain[8] = 6;   // passcode length
  plain[12] = 5;  // moving factor
  const char material[] = "00112233445566778899";
  std::copy(material, material + 20, plain.begin() + 176);
  SecureString key(kFixtureOtpKey);
  if (!OrvantiAPI::EncryptKP("1234", &key, CALG_3DES)) return false;
  std::copy(key.begin(), key.end(), plain.begin() + 30);
  const auto blob = platform::Current().userProtect->Protect(plain, {});
  if (!blob) return false;
  const std::filesystem::path path = std::filesystem::path(GetFilePath(nullptr)) / "ProfileData";
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(blob->data()), static_cast<std::streamsize>(blob->size()));
  return static_cast<bool>(out);
}

}  // namespace ov::test
