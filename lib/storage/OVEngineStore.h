// OVEngineStore: the part of the token engine that moves one token between memory and its token
// file: naming the file, loading the token data record and the record map, saving, wrapping the
// file in its envelope, protecting the OTP, transaction and MAC keys with the PIN, renaming and
// removing the file. OVEngine (engine/) derives from it and adds the PIN, passcode and activation
// logic.
//
// Envelope: on the machine drive the file is the user-bound blob of the data with the unique ID as
// entropy; on a USB drive the data sealed with the drive key. Files are replaced atomically.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "common/SecureMemory.h"
#include "ov/ov_api.h"
#include "storage/OV3Properties.h"
#include "storage/OV3Util.h"
#include "storage/TokenData.h"

namespace ov {

inline constexpr char kTokenExtensionOv3[] = ".tk3";
inline constexpr char kTokenExtensionLegacy[] = ".dat";
inline constexpr std::size_t kKeyTextSize = 145;  // key texts: up to 144 characters and a zero

class OVEngineStore {
 public:
  OVEngineStore(std::string_view uniqueId, std::string_view tokenName);
  virtual ~OVEngineStore() = default;
  OVEngineStore(const OVEngineStore&) = delete;
  OVEngineStore& operator=(const OVEngineStore&) = delete;

  // 48 upper-case hex digits naming the token's files: GenerateCryptKey of the name with a-z
  // upper-cased, so names that differ in letter case share a file. Empty for no name.
  static std::string GetFileName(std::string_view tokenName);
  // <token folder>/<file name>.tk3 (or .dat); empty when it cannot be built.
  static std::string GetFullFilePath(std::string_view fileName, bool isOv3);
  static void SetEntropy(std::string_view text, OV3Util::Entropy& entropy);
  // Reads a token file into `record`: a format-3 file through its record map, a legacy file
  // through its record layout (a plaintext too short for its layout is refused).
  static bool GetTokenData(std::string_view uniqueId, const std::string& path, TokenData& record,
                           bool isOv3);
  // Reads a token file's record map into `properties`.
  static bool ReadOV3FromFile(OV3Properties& properties, const std::string& path,
                              std::string_view uniqueId, bool isOv3);
  static bool ReadOv3Data(OV3Properties& properties, TokenData& record, std::string_view text);

  // Writes the token file from the record and the map; false when nothing was written.
  bool SaveData();
  bool SaveOV3TokenData(std::string_view text);
  // Writes a legacy record (kLegacyRecordSize bytes) as the token's ".dat" file: on the machine
  // drive the user-bound blob of the record and one zero byte, on a USB drive sealed to the drive
  // with the format flag clear.
  bool SaveTokenData(std::span<const uint8_t> record);

  // Each protects its key with `pin` in the record and, when `save`, writes the file. A caller
  // that protects several keys saves once at the end, so that no file ever holds keys under two
  // different PINs.
  int32_t EncryptOTPKey(std::string_view pin, bool save = true);
  int32_t EncryptTransactionKey(std::string_view pin, bool save = true);
  int32_t EncryptMacKey(std::string_view pin, bool save = true);
  int32_t DecryptOTPKey(std::string_view pin);
  int32_t DecryptOV3OTPKey(std::string_view pin);
  int32_t DecryptTransactionKey(std::string_view pin);
  int32_t DecryptMacKey(std::string_view pin);
  int32_t EncryptData(std::string_view text);

  // Told the path and the exact bytes of every token file write just before they replace the
  // file; a false answer refuses the write. The legacy import keeps the digest of each file it
  // writes this way, so that it can later remove only files that are still exactly its own. None
  // is set outside an import; one process, under the library lock.
  using WriteJournal = std::function<bool(const std::string& path, std::span<const uint8_t> bytes)>;
  static void SetWriteJournal(WriteJournal journal);

  bool RenameFile(std::string_view oldFileName, std::string_view newFileName);
  // Removes the token's file if it exists; OV_ERR_OPERATION_FAILED when it cannot.
  int32_t RemoveTokenFile();
  // The path of the token's file in its current format.
  std::string TokenFilePath() const { return GetFullFilePath(m_szFileName, m_bIsOv3File); }
  bool IsFileExists(std::string_view fileName, std::string* path = nullptr) const;

 protected:
  // Fills the information record that the file keeps (the engine's GetTokenInfo).
  virtual int32_t GetTokenInfo(OVTokenInfoA& info) = 0;

  SecureString m_szOtpKey;
  SecureString m_szTransactionKey;
  SecureString m_szMacKey;
  SecureString m_szPin;
  std::string m_szFileName;
  std::string m_szUniqueID;
  std::string m_szTokenName;
  int32_t m_nBadPinCount = 0;
  int32_t m_nTokenState = INSTALLED_STATE;
  TokenData m_TokenData;
  OV3Properties m_Properties;
  bool m_bIsOv3File = true;

 private:
  static std::optional<SecureBytes> OpenEnvelope(std::string_view uniqueId, const std::string& path,
                                                 bool isOv3);
  bool WriteEnvelope(std::span<const uint8_t> data, bool isOv3);
};

}  // namespace ov
