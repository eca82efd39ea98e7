#include "storage/OVEngineStore.h"


#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>

#include "common/TokenInfoRecords.h"
#include "common/LogFacade.h"
#include "common/OVException.h"
#include "crypto/CryptAlgorithms.h"
#include "crypto/CryptProvider.h"
#include "crypto/CryptSymmetric.h"
#include "crypto/OrvantiAPI.h"
#include "encoding/Hex.h"
#include "platform/Platform.h"
#include "storage/LegacyRecord.h"
#include "storage/StoragePaths.h"
#include "storage/TokenFile.h"
#include "storage/Win_UsbFlash.h"

namespace ov {

namespace {

constexpr char kInternalPin[] = "R#p3";
constexpr std::size_t kMaxKeyText = kKeyTextSize - 1;

std::span<const uint8_t> Bytes(std::string_view text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

std::string_view View(const SecureBytes& bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

void LogDrive(LogScope& log, int driveType) {
  if (driveType == DRIVE_MACHINE) {
    log.Message("Application is running from Machine Drive");
  } else if (driveType == DRIVE_USBFLASH || driveType == DRIVE_USBDRIVE) {
    log.Message("Application is running from USB Drive");
  }
}

// A key text as it comes out of a seed or a decryption: up to its first zero byte.
SecureString KeyText(std::string_view raw) {
  const std::size_t end = std::min(raw.find('\0'), raw.size());
  return SecureString(raw.substr(0, std::min(end, kMaxKeyText)));
}

OVEngineStore::WriteJournal& Journal() {
  static OVEngineStore::WriteJournal journal;
  return journal;
}

// The journal's word on a write, before it happens.
bool Journaled(const std::string& path, std::span<const uint8_t> bytes) {
  const OVEngineStore::WriteJournal& journal = Journal();
  return !journal || journal(path, bytes);
}

}  // namespace

void OVEngineStore::SetWriteJournal(WriteJournal journal) { Journal() = std::move(journal); }

OVEngineStore::OVEngineStore(std::string_view uniqueId, std::string_view tokenName)
    : m_szFileName(GetFileName(tokenName)), m_szUniqueID(uniqueId), m_szTokenName(tokenName) {}

std::string OVEngineStore::GetFileName(std::string_view tokenName) {
  LogScope log("OVEngine::GetFileName");
  if (tokenName.empty()) return {};
  SecureString upper(tokenName);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  std::array<uint8_t, 24> key{};
  WipeOnExit wipe(key);
  if (!OrvantiAPI::GenerateCryptKey(upper.c_str(), key)) return {};
  return HexEncode(key);
}

std::string OVEngineStore::GetFullFilePath(std::string_view fileName, bool isOv3) {
  LogScope log("OVEngine::GetFullFilePath");
  if (fileName.empty()) return {};
  const std::string folder = GetFilePath(isOv3 ? kTokenFolderOv3 : kTokenFolderLegacy);
  if (folder.empty()) return {};
  std::string path = JoinPath(folder, std::string(fileName) +
                                          (isOv3 ? kTokenExtensionOv3 : kTokenExtensionLegacy));
  if (path.size() >= platform::kMaxPathLength) {
    log.Message("Error: Invalid File Path");
    return {};
  }
  return path;
}

void OVEngineStore::SetEntropy(std::string_view text, OV3Util::Entropy& entropy) {
  entropy.bytes.assign(text.begin(), text.end());
}

std::optional<SecureBytes> OVEngineStore::OpenEnvelope(std::string_view uniqueId,
                                                       const std::string& path, bool isOv3) {
  LogScope log("OVEngine::OpenEnvelope");
  log.Message("Function begins");
  if (path.empty()) return std::nullopt;
  OV3Util::Entropy entropy;
  SetEntropy(uniqueId, entropy);
  const std::optional<SecureBytes> file = ReadWholeFile(path);
  if (!file) {
    log.Text("Path", path);
    log.Message("Error: Cannot open file");
    return std::nullopt;
  }
  const int driveType = Win_UsbFlash::GetActiveDriveType();
  LogDrive(log, driveType);
  if (driveType == DRIVE_MACHINE && !isOv3) {
    // A legacy record is read whole: every plaintext byte is kept (the writer's trailing zero
    // included), and the record reader checks that its layout fits.
    std::optional<SecureBytes> plain = platform::Current().userProtect->Unprotect(*file, entropy.bytes);
    if (!plain) log.Message("Error: CryptUnprotectData fails");
    return plain;
  }
  if (driveType == DRIVE_MACHINE) {
    try {
      return OV3Util::CryptUnprotectEntropy(*file, entropy);
    } catch (const OVException& e) {
      log.Message("Error: CryptUnprotectEntropy failed");
      log.Text("e.GetErrorString()", e.GetErrorString());
      return std::nullopt;
    }
  }
  if (driveType == DRIVE_USBFLASH || driveType == DRIVE_USBDRIVE) {
    SecureBytes plain;
    if (!Win_UsbFlash::FlashUnlock(*file, plain, uniqueId, isOv3)) {
      log.Message("FlashUnlock fails");
      return std::nullopt;
    }
    return plain;
  }
  log.Message("Unknown drive");
  return std::nullopt;
}

bool OVEngineStore::GetTokenData(std::string_view uniqueId, const std::string& path,
                                 TokenData& record, bool isOv3) {
  LogScope log("OVEngine::GetTokenData");
  log.Text("Path", path);
  const std::optional<SecureBytes> plain = OpenEnvelope(uniqueId, path, isOv3);
  if (!plain) return log.Return(false);
  if (!isOv3) {
    log.Message("Read token data ");
    log.Text("pTemp->m_szVersion", LegacyVersionText(*plain));
    log.Text("pTemp->m_szTokenName", LegacyTokenNameText(*plain));
    return log.Return(ReadLegacyPlaintext(*plain, record));
  }
  // Read into a copy: a record map that fails part-way (a bad policy text, say) must not leave
  // some of its fields in the caller's record.
  OV3Properties properties;
  TokenData read = record;
  if (!ReadOv3Data(properties, read, View(*plain))) return log.Return(false);
  record = read;
  return log.Return(true);
}

bool OVEngineStore::ReadOV3FromFile(OV3Properties& properties, const std::string& path,
                                    std::string_view uniqueId, bool isOv3) {
  LogScope log("OVEngine::ReadOV3FromFile");
  const std::optional<SecureBytes> plain = OpenEnvelope(uniqueId, path, isOv3);
  if (!plain) return log.Return(false);
  return log.Return(isOv3 ? properties.deserializeTLV(View(*plain)) : properties.deserialize(View(*plain)));
}

bool OVEngineStore::ReadOv3Data(OV3Properties& properties, TokenData& record, std::string_view text) {
  LogScope log("OVEngine::ReadOv3Data");
  return log.Return(properties.deserializeTLV(text) && properties.getOrvantiData(record));
}

bool OVEngineStore::SaveData() {
  LogScope log("OVEngine::SaveData");
  if (m_szTokenName.empty()) return log.Return(false);
  TokenData::SetText(m_TokenData.m_szTokenName, m_szTokenName);
  m_TokenData.m_nState = static_cast<uint32_t>(m_nTokenState);
  if (m_szFileName.empty()) m_szFileName = GetFileName(m_szTokenName);
  if (!m_bIsOv3File) {
    LegacyRecord legacy;
    CopyFromOVData(legacy, m_TokenData);
    return log.Return(SaveTokenData(legacy.bytes));
  }
  OVTokenInfoA info{};
  bool stored = false;
  try {
    GetTokenInfo(info);
    stored = m_Properties.ov3StoreTokenInfo(info, m_TokenData);
  } catch (...) {
    ReleaseTokenInfo(info);
    throw;
  }
  ReleaseTokenInfo(info);
  if (!stored) return log.Return(false);
  const SecureString text = m_Properties.serializeTLV();
  if (text.empty()) return log.Return(false);
  return log.Return(SaveOV3TokenData(text.view()));
}

bool OVEngineStore::WriteEnvelope(std::span<const uint8_t> data, bool isOv3) {
  LogScope log("OVEngine::WriteEnvelope");
  log.Message("Function begins");
  if (m_szFileName.empty() || m_szUniqueID.empty()) {
    log.Message("m_szFileName or m_szUniqueID is empty");
    return false;
  }
  const std::string path = GetFullFilePath(m_szFileName, isOv3);
  if (path.empty()) return false;
  const int driveType = Win_UsbFlash::GetActiveDriveType();
  LogDrive(log, driveType);
  if (driveType == DRIVE_MACHINE) {
    OV3Util::Entropy entropy;
    SetEntropy(m_szUniqueID, entropy);
    try {
      const std::vector<uint8_t> blob = OV3Util::CryptProtectEntropy(data, entropy);
      return Journaled(path, blob) && WriteFileAtomically(path, blob);
    } catch (const OVException&) {
      return false;
    }
  }
  if (driveType == DRIVE_USBFLASH || driveType == DRIVE_USBDRIVE) {
    SecureBytes sealed(data.begin(), data.end());
    if (!Win_UsbFlash::Lock2Flash(sealed, m_szUniqueID, isOv3)) {
      log.Message("Win_UsbFlash::Lock2Flash faied");
      return false;
    }
    return Journaled(path, sealed) && WriteFileAtomically(path, sealed);
  }
  log.Message("unknown drive");
  log.Number("driveType", driveType);
  return false;
}

bool OVEngineStore::SaveOV3TokenData(std::string_view text) {
  LogScope log("OVEngine::SaveOV3TokenData");
  return log.Return(WriteEnvelope(Bytes(text), true));
}

bool OVEngineStore::SaveTokenData(std::span<const uint8_t> record) {
  LogScope log("OVEngine::SaveTokenData");
  return log.Return(WriteEnvelope(record, false));
}

int32_t OVEngineStore::EncryptOTPKey(std::string_view pin, bool save) {
  LogScope log("OVEngine::EncryptOTPKey");
  if (m_szOtpKey.empty()) return log.Return(OV_ERR_OPERATION_FAILED);
  // The seed is the key text in a zero-filled buffer, stored whole.
  SecureBytes seed(kKeyTextSize, 0);
  std::copy_n(m_szOtpKey.begin(), std::min(m_szOtpKey.size(), kMaxKeyText), seed.begin());
  if (!m_Properties.ov3StoreSeedForDrive(pin, seed, true)) {
    log.Message("SetPIN operation is not successful");
    return log.Return(OV_ERR_OPERATION_FAILED);
  }
  // Format-3 files keep the protected key in the seed: the record only notes that it is there
  // (the key text itself stays out of the record).
  TokenData::SetText(m_TokenData.m_szEncOtpKey, "F3");
  SecureWipe(m_TokenData.m_szKeyMaterial, sizeof m_TokenData.m_szKeyMaterial);
  if (save && !SaveData()) {
    log.Message("SaveData operation fails");
    return log.Return(OV_ERR_OPERATION_FAILED);
  }
  return log.Return(OV_OK);
}

int32_t OVEngineStore::EncryptTransactionKey(std::string_view pin, bool save) {
  LogScope log("OVEngine::EncryptTransactionKey");
  if (m_szTransactionKey.empty()) return log.Return(OV_ERR_OPERATION_FAILED);
  SecureString text(m_szTransactionKey.view());
  const SecureString pinText(pin);
  if (!OrvantiAPI::EncryptKP(pinText.c_str(), &text, CALG_3DES)) {
    log.Message("SetPIN operation is not successful");
    return log.Return(OV_ERR_OPERATION_FAILED);
  }
  TokenData::SetText(m_TokenData.m_szEncTransactionKey, text.view());
  m_TokenData.m_bTransactionKeySet = 1;
  if (save && !SaveData()) {
    log.Message("SaveData operation fails");
    return log.Return(OV_ERR_OPERATION_FAILED);
  }
  return log.Return(OV_OK);
}

int32_t OVEngineStore::EncryptMacKey(std::string_view pin, bool save) {
  LogScope log("OVEngine::EncryptMacKey");
  if (m_szMacKey.empty()) return log.Return(OV_ERR_OPERATION_FAILED);
  SecureString text(m_szMacKey.view());
  const SecureString pinText(pin);
  if (!OrvantiAPI::EncryptKP(pinText.c_str(), &text, CALG_3DES)) {
    log.Message("SetPIN operation is not successful");
    return log.Return(OV_ERR_OPERATION_FAILED);
  }
  TokenData::SetText(m_TokenData.m_szEncMacKey, text.view());
  SecureWipe(m_TokenData.m_szKeyMaterial, sizeof m_TokenData.m_szKeyMaterial);
  if (save && !SaveData()) {
    log.Message("SaveData operation fails");
    return log.Return(OV_ERR_OPERATION_FAILED);
  }
  return log.Return(OV_OK);
}

int32_t OVEngineStore::DecryptOTPKey(std::string_view pin) {
  LogScope log("OVEngine::DecryptOTPKey");
  if (m_bIsOv3File) return log.Return(DecryptOV3OTPKey(pin));
  if (TokenData::Text(m_TokenData.m_szEncOtpKey).empty()) return log.Return(OV_ERR_OPERATION_FAILED);
  SecureString text(TokenData::Text(m_TokenData.m_szEncOtpKey));
  const SecureString pinText(pin);
  if (!OrvantiAPI::DecryptKP(pinText.c_str(), &text, CALG_3DES)) return log.Return(OV_ERR_OPERATION_FAILED);
  m_szOtpKey = KeyText(text.view());
  m_TokenData.m_nBadPinCount = 0;
  m_nBadPinCount = 0;
  return log.Return(OV_OK);
}

int32_t OVEngineStore::DecryptOV3OTPKey(std::string_view pin) {
  LogScope log("OVEngine::DecryptOV3OTPKey");
  try {
    const std::optional<SecureBytes> seed = m_Properties.ov3GetSeedForDrive(pin, true);
    if (pin.empty() || !seed) return log.Return(OV_ERR_OPERATION_FAILED);
    log.Message("After ov3GetSeedGen");
    log.Number("seedLength", static_cast<int32_t>(seed->size()));
    m_szOtpKey = KeyText(View(*seed));
    m_TokenData.m_nBadPinCount = 0;
    m_nBadPinCount = 0;
    return log.Return(OV_OK);
  } catch (...) {
    log.Message("__EXCEPTION");
    return log.Return(OV_ERR_OPERATION_FAILED);
  }
}

int32_t OVEngineStore::DecryptTransactionKey(std::string_view pin) {
  LogScope log("OVEngine::DecryptTransactionKey");
  if (TokenData::Text(m_TokenData.m_szEncTransactionKey).empty()) return log.Return(OV_OK);
  if (pin.empty()) return log.Return(OV_ERR_OPERATION_FAILED);
  SecureString text(TokenData::Text(m_TokenData.m_szEncTransactionKey));
  const SecureString pinText(pin);
  if (!OrvantiAPI::DecryptKP(pinText.c_str(), &text, CALG_3DES)) return log.Return(OV_ERR_OPERATION_FAILED);
  m_szTransactionKey = KeyText(text.view());
  return log.Return(OV_OK);
}

int32_t OVEngineStore::DecryptMacKey(std::string_view pin) {
  LogScope log("OVEngine::DecryptMacKey");
  if (TokenData::Text(m_TokenData.m_szEncMacKey).empty() || pin.empty()) {
    return log.Return(OV_ERR_OPERATION_FAILED);
  }
  SecureString text(TokenData::Text(m_TokenData.m_szEncMacKey));
  const SecureString pinText(pin);
  if (!OrvantiAPI::DecryptKP(pinText.c_str(), &text, CALG_3DES)) return log.Return(OV_ERR_OPERATION_FAILED);
  m_szMacKey = KeyText(text.view());
  m_TokenData.m_nBadPinCount = 0;
  m_nBadPinCount = 0;
  return log.Return(OV_OK);
}

int32_t OVEngineStore::EncryptData(std::string_view text) {
  LogScope log("OVEngine::EncryptData");
  if (DecryptTransactionKey(kInternalPin) != OV_OK) return log.Return(OV_ERR_OPERATION_FAILED);
  SecureBytes key;
  if (m_szTransactionKey.size() < 64 || !HexDecode(m_szTransactionKey.view().substr(0, 64), key)) {
    return log.Return(OV_ERR_OPERATION_FAILED);
  }
  try {
    const auto provider = CryptProvider::Acquire(PROV_RSA_AES);
    if (!provider) return log.Return(OV_ERR_OPERATION_FAILED);
    CryptSymmetric cipher(*provider, CALG_AES_256, key);
    SecureBytes block(16, 0);
    std::copy_n(text.begin(), std::min<std::size_t>(text.size(), block.size()), block.begin());
    SecureBytes encrypted;
    cipher.Encrypt(block, encrypted, false);
  } catch (const OVException&) {
    return log.Return(OV_ERR_OPERATION_FAILED);
  }
  return log.Return(SaveData() ? OV_OK : OV_ERR_OPERATION_FAILED);
}

bool OVEngineStore::RenameFile(std::string_view oldFileName, std::string_view newFileName) {
  LogScope log("OVEngine::RenameFile");
  if (oldFileName.empty() || newFileName.empty()) return log.Return(false);
  const std::string from = GetFullFilePath(oldFileName, m_bIsOv3File);
  const std::string to = GetFullFilePath(newFileName, m_bIsOv3File);
  if (from.empty() || to.empty()) {
    log.Message("Error: OVEngine::GetFullFilePath failed");
    return log.Return(false);
  }
  if (const auto facts = platform::DescribeFile(from)) {
    log.BitMask("Mode", facts->mode);
  } else {
    log.Message("Error: Problem getting information");
    log.Number("errno", errno);
  }
  log.Message("Going to rename a token file");
  log.Text("OldName", from);
  log.Text("NewName", to);
  if (!RenameNoReplace(from, to)) {
    log.Number("errno", errno);
    log.Message("Error: rename failed");
    return log.Return(false);
  }
  return log.Return(true);
}

bool OVEngineStore::IsFileExists(std::string_view fileName, std::string* path) const {
  const std::string full = GetFullFilePath(fileName, m_bIsOv3File);
  if (path != nullptr) *path = full;
  return FileExists(full);
}

int32_t OVEngineStore::RemoveTokenFile() {
  LogScope log("OVEngine::DeleteToken");
  std::string path;
  if (!IsFileExists(m_szFileName, &path)) return log.Return(OV_OK);
  if (!RemoveFile(path)) {
    log.Number("errno", errno);
    return log.Return(OV_ERR_OPERATION_FAILED);
  }
  return log.Return(OV_OK);
}

}  // namespace ov
