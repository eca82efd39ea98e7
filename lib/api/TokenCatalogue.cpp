#include "api/TokenCatalogue.h"

#include "engine/OVEngine.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <span>
#include <vector>

#include "common/LogFacade.h"
#include "common/TokenInfoRecords.h"
#include "encoding/Hex.h"
#include "crypto/Sha256Digest.h"
#include "platform/Files.h"
#include "platform/Platform.h"
#include "policy/OVPolicy.h"
#include "storage/OVEngineStore.h"
#include "storage/StoragePaths.h"
#include "storage/TokenFile.h"
#include "storage/Win_UsbFlash.h"

namespace ov {

namespace {

constexpr char kSetAsideExtension[] = "unsupported";
constexpr char kSdkVersion[] = "8.3.1";
// 2010-01-01 00:00:01 UTC, the origin of lock-out times.

const char* ExtensionOf(bool isOv3) { return isOv3 ? kTokenExtensionOv3 : kTokenExtensionLegacy; }

bool EndsWith(std::string_view text, std::string_view tail) {
  return text.size() > tail.size() && text.substr(text.size() - tail.size()) == tail;
}

// The names of the regular files of `directory` that `keep` accepts, in the file system's order;
// a link, a FIFO, a device or a folder named like a token file is never opened (a FIFO would
// block) and never counted. nullopt when the folder cannot be read.
template <typename Keep>
std::optional<std::vector<std::string>> RegularFiles(const std::string& directory, Keep keep) {
  auto names = platform::RegularFileNames(directory);
  if (names) std::erase_if(*names, [&](const std::string& name) { return !keep(name); });
  return names;
}

std::optional<std::vector<std::string>> FilesEndingIn(const std::string& directory,
                                                      std::string_view tail) {
  return RegularFiles(directory, [&](std::string_view name) { return EndsWith(name, tail); });
}

// A token file that cannot be read: "X.tk3" becomes "X.unsupported".
void SetAside(const std::string& path, LogScope& log) {
  log.Message("Error: cannot read the token file; it is set aside as unsupported");
  log.Text("Path", path);
  const std::string target = path.substr(0, path.size() - 3) + kSetAsideExtension;
  if (!RenameNoReplace(path, target)) {
    log.Message("Error: rename failed");
    log.Number("errno", errno);
  }
}

// A token file's name is the one its stored token name gives. A file under any other name (a copy,
// or a file renamed by hand) would list a token twice, and opening that token by name would never
// reach it.
bool IsNamedForItsToken(std::string_view fileName, const TokenData& record, bool isOv3) {
  const std::string_view stem =
      fileName.substr(0, fileName.size() - std::strlen(ExtensionOf(isOv3)));
  const std::string expected = OVEngineStore::GetFileName(TokenData::Text(record.m_szTokenName));
  return !expected.empty() && stem == expected;
}

}  // namespace

namespace {

void RemoveLeftoverTemporaries(const std::string& directory, LogScope& log) {
  const auto names = RegularFiles(directory, IsLeftoverTemporaryName);
  if (!names) return;
  for (const std::string& name : *names) {
    log.Message("Removing the temporary file of an interrupted save");
    log.Text("FileName", name);
    if (!RemoveFile(JoinPath(directory, name))) log.Number("errno", errno);
  }
}

std::string Stem(std::string_view fileName, bool isOv3) {
  return std::string(fileName.substr(0, fileName.size() - std::strlen(ExtensionOf(isOv3))));
}

void FinishInterruptedRenames(std::string_view uniqueId, const std::string& directory,
                              LogScope& log) {
  const auto names = FilesEndingIn(directory, kTokenExtensionOv3);
  if (!names) return;
  for (const std::string& name : *names) {
    const std::string path = JoinPath(directory, name);
    TokenData record;
    if (!OVEngineStore::GetTokenData(uniqueId, path, record, true) ||
        IsNamedForItsToken(name, record, true)) {
      continue;
    }
    const std::string expected =
        OVEngineStore::GetFileName(TokenData::Text(record.m_szTokenName));
    if (expected.empty()) continue;
    log.Message("Finishing an interrupted rename");
    log.Text("FileName", name);
    if (!RenameNoReplace(path, JoinPath(directory, expected + kTokenExtensionOv3))) {
      log.Number("errno", errno);
    }
  }
}

// A token found in both folders: the activated file is the finished one.
void SettleTokensInBothFormats(std::string_view uniqueId, const std::string& ov3Folder,
                               const std::string& legacyFolder, LogScope& log) {
  const auto legacyNames = FilesEndingIn(legacyFolder, kTokenExtensionLegacy);
  if (!legacyNames) return;
  for (const std::string& legacyName : *legacyNames) {
    const std::string stem = Stem(legacyName, false);
    const std::string ov3Path = JoinPath(ov3Folder, stem + kTokenExtensionOv3);
    if (!FileExists(ov3Path)) continue;
    const std::string legacyPath = JoinPath(legacyFolder, legacyName);
    TokenData ov3Record;
    TokenData legacyRecord;
    const bool ov3Read = OVEngineStore::GetTokenData(uniqueId, ov3Path, ov3Record, true);
    const bool legacyRead = OVEngineStore::GetTokenData(uniqueId, legacyPath, legacyRecord, false);
    const char* extra = nullptr;
    if (ov3Read && ov3Record.m_nState == ACTIVATED_STATE) {
      extra = legacyPath.c_str();
    } else if (legacyRead && legacyRecord.m_nState == ACTIVATED_STATE) {
      extra = ov3Path.c_str();
    }
    if (extra == nullptr) continue;
    log.Message("Removing the unfinished copy of a token kept in both formats");
    log.Text("Path", extra);
    if (!RemoveFile(extra)) log.Number("errno", errno);
  }
}

}  // namespace

void RecoverTokenFolders(std::string_view uniqueId) {
  LogScope log("OVHelper::RecoverTokenFolders");
  try {
    std::string ov3Folder;
    std::string legacyFolder;
    if (GetSearchPath(true, ov3Folder) != OV_OK || GetSearchPath(false, legacyFolder) != OV_OK) {
      return;
    }
    RemoveLeftoverTemporaries(ov3Folder, log);
    RemoveLeftoverTemporaries(legacyFolder, log);
    SettleInterruptedImport();
    FinishInterruptedRenames(uniqueId, ov3Folder, log);
    SettleTokensInBothFormats(uniqueId, ov3Folder, legacyFolder, log);
  } catch (...) {
    log.Message("Error: crash");
  }
}

int32_t GetSearchPath(bool isOv3, std::string& directory) {
  LogScope log("OVHelper::GetSearchPath");
  directory = GetFilePath(isOv3 ? kTokenFolderOv3 : kTokenFolderLegacy);
  if (directory.empty()) {
    log.Message("FilePath is NULL");
    return log.Return(OV_ERR_OPERATION_FAILED);
  }
  return log.Return(OV_OK);
}

void TryRestoreUnsupported(const std::string& directory, bool isOv3) {
  LogScope log("OVHelper::TryRestoreUnsupported");
  const auto names = FilesEndingIn(directory, std::string(".") + kSetAsideExtension);
  if (!names) return;
  for (const std::string& name : *names) {
    const std::string from = JoinPath(directory, name);
    const std::string to = JoinPath(directory, name.substr(0, name.rfind('.')) + ExtensionOf(isOv3));
    if (!RenameNoReplace(from, to)) {
      log.Message("Error: rename failed");
      log.Text("Path", from);
      log.Number("errno", errno);
    }
  }
}

void CheckFilePermissions(const std::string& path) {
  LogScope log("OVHelper::CheckFilePermissions");
  if (!log.Enabled()) return;  // nothing to report to: spare the system calls
  log.Text("Path", path);
  const std::optional<platform::FileFacts> facts = platform::DescribeFile(path);
  if (!facts) {
    log.Message("Error: Problem getting information");
    log.Number("errno", errno);
    return;
  }
  log.BitMask("Mode", facts->mode);
  log.Number("Read", facts->readable ? 1 : 0);
  log.Number("Write", facts->writable ? 1 : 0);
}

char* GetPolicyLevelStr(int32_t level) {
  return DuplicateText(std::string_view("Level " + std::to_string(level)));
}

char* GetTokenModeStr(int32_t mode) { return OVEngine::GetTokenModeStr(mode); }

int32_t GetLockTimeLeft(int32_t lockUntil) { return OVEngine::GetLockTimeLeft(lockUntil); }

int32_t GetTokenDetails(const TokenData& record, OVTokenInfoA& entry) {
  LogScope log("OVHelper::GetTokenDetails");
  OVTokenInfoA details{};
  try {
    details.m_szTokenName = DuplicateText(TokenData::Text(record.m_szTokenName));
    details.m_szSdkVersion = DuplicateText(std::string_view(kSdkVersion));
    const std::string_view policyText = TokenData::Text(record.m_szPolicy);
    OVPolicy policy;
    if (!policyText.empty()) policy.SetPolicyString(policyText);
    // A token whose last try reached "maxattacks" before the process was stopped is deactivated
    // when it is opened: it is listed as it will open.
    if (policyText.empty() || OVEngine::AttemptsExhausted(policy, record.m_nBadPinCount)) {
      details.m_nTokenState = INSTALLED_STATE;
      details.m_nChallengeLength = -1;
      details.m_nMaxAttacks = -1;
      details.m_nPinLength = -1;
      details.m_nTimeStep = -1;
    } else {
      const int32_t pinLength = policy.GetPolicyParameter("pinlen");
      details.m_nBadPinCount = record.m_nBadPinCount;
      details.m_nMaxAttacks = policy.GetPolicyParameter("maxattacks");
      details.m_nChallengeLength = policy.GetPolicyParameter("challlen");
      details.m_nTokenState = static_cast<int32_t>(record.m_nState);
      details.m_szTokenSerialNo = DuplicateText(TokenData::Text(record.m_szSerialNo));
      details.m_szTokenPolicy = DuplicateText(policyText);
      details.m_szTokenPolicyLevel = GetPolicyLevelStr(policy.GetPolicyLevel());
      details.m_szTokenMode = GetTokenModeStr(policy.GetMode());
      details.m_bPinRequired = pinLength != 0 ? 1 : 0;
      // The length the PIN rule enforces (a level 4 or 5 extension replaces "pinlen"), as the open
      // token's information gives it, so that no front end asks for a PIN the rule then refuses.
      details.m_nPinLength = pinLength != 0 ? policy.GetPinLen() : 0;
      details.m_nLockTimeLeft = OVEngine::LockTimeLeft(policy, record);
      details.m_nTimeStep = policy.GetPolicyParameter("tstick");
      details.m_bTokenLocked = details.m_nLockTimeLeft != 0 ? 1 : 0;
    }
  } catch (...) {
    log.Message("Error: crash");
    ReleaseTokenInfo(details);
    return log.Return(OV_ERR_OPERATION_FAILED);
  }
  // The trivial-PIN flags and the reserved fields are not a list entry's to fill.
  details.m_bTrivialPinAllowedEx = entry.m_bTrivialPinAllowedEx;
  details.m_bTrivialPinAllowed = entry.m_bTrivialPinAllowed;
  details.m_pReserved = entry.m_pReserved;
  details.m_nReservedLength = entry.m_nReservedLength;
  entry = details;
  return log.Return(OV_OK);
}

int32_t GetTokenListByType(std::string_view uniqueId, OVTokenInfoA* list, int32_t capacity,
                           bool isOv3, int32_t& found) {
  LogScope log("OVHelper::GetTokenListByType");
  log.Number("isOv3", isOv3 ? 1 : 0);
  try {
    std::string directory;
    if (const int32_t code = GetSearchPath(isOv3, directory); code != OV_OK) return log.Return(code);
    const std::string pattern = std::string("/*") + ExtensionOf(isOv3);
    if (!platform::IsFolder(directory)) {
      if (errno == ENOENT) return log.Return(OV_OK);
      log.Message("Error: file not exists");
      return log.Return(OV_ERR_OPERATION_FAILED);
    }
    if (directory.size() > platform::kMaxPathLength - pattern.size()) {
      log.Message("Error: Invalid File Path");
      return log.Return(OV_ERR_OPERATION_FAILED);
    }
    TryRestoreUnsupported(directory, isOv3);
    const auto names = FilesEndingIn(directory, ExtensionOf(isOv3));
    if (!names) {
      log.Message("Error: cannot read the token folder");
      log.Number("errno", errno);
      return log.Return(OV_ERR_OPERATION_FAILED);
    }
    if (list == nullptr) {
      found += static_cast<int32_t>(names->size());
      return log.Return(OV_OK);
    }
    int32_t result = OV_OK;
    for (std::size_t i = 0; i < names->size() && found < capacity; ++i) {
      const std::string path = JoinPath(directory, (*names)[i]);
      CheckFilePermissions(path);
      TokenData record;
      if (!OVEngineStore::GetTokenData(uniqueId, path, record, isOv3)) {
        SetAside(path, log);
        continue;
      }
      if (!IsNamedForItsToken((*names)[i], record, isOv3)) {
        log.Message("Error: the file name is not the one of its token name");
        SetAside(path, log);
        continue;
      }
      if (!isOv3 && record.m_nState != ACTIVATED_STATE) {
        log.Message("Token type is OV2 and this one is not activated. Delete Token file ");
        log.Text("FileName", (*names)[i]);
        log.Number("State", static_cast<int32_t>(record.m_nState));
        if (!RemoveFile(path)) log.Number("errno", errno);
        continue;
      }
      result = GetTokenDetails(record, list[found]);
      if (result == OV_OK) ++found;
    }
    return log.Return(result);
  } catch (...) {
    log.Message("Error: crash");
    return log.Return(OV_ERR_OPERATION_FAILED);
  }
}

int32_t GetTokenList(std::string_view uniqueId, OVTokenInfoA* list, int32_t* count) {
  LogScope log("OVHelper::GetTokenList");
  if (count == nullptr) return log.Return(OV_ERR_INVALID_PARAM);
  int32_t found = 0;
  const int32_t capacity = list == nullptr ? 0 : std::max(*count, 0);
  if (list != nullptr && Win_UsbFlash::GetActiveDriveType() == DRIVE_MACHINE &&
      platform::Current().userProtect->IsSecretRefused()) {
    // Every file would fail to open and be set aside, and the list would read as empty.
    log.Message("Error: the user's secret is refused (its mode, owner or permissions); no token can be read");
    return log.Return(OV_ERR_OPERATION_FAILED);
  }
  log.Message("Going to read OV 8.2 tokens.");
  GetTokenListByType(uniqueId, list, capacity, false, found);
  log.Message("Going to read OV 8.3 tokens.");
  const int32_t result = GetTokenListByType(uniqueId, list, capacity, true, found);
  if (result == OV_OK) *count = found;
  log.Number("count", found);
  return log.Return(result);
}

bool IsOV80ProfileExists(std::string& path, Ov80Profile& profile) {
  LogScope log("OVHelper::IsOV80ProfileExists");
  const std::string root = GetFilePath(nullptr);
  if (root.empty()) return log.Return(false);
  if (!platform::IsFolder(root)) return log.Return(false);
  if (root.size() + 1 + std::strlen(kOv80ProfileFileName) >= platform::kMaxPathLength) {
    log.Message("Error: Invalid File Path");
    return log.Return(false);
  }
  path = JoinPath(root, kOv80ProfileFileName);
  return log.Return(OV80ReadData(path, profile));
}

namespace {

constexpr char kImportMarkerName[] = "ProfileData.import";

// What the store remembers of an import while it runs, and after it until the profile is gone:
// the profile's digest, the token it went into, whether the import made that token, and the
// SHA-256 of every token file the import wrote, each noted before the file was written. A file
// is the import's only while its bytes are one of those: a token renamed to the name since, or
// activated by hand, is never taken for the import's. A marker without file digests (as earlier
// versions wrote it) proves nothing, and nothing is removed on its word.
struct ImportMarker {
  bool done = false;
  std::string digest;
  std::string tokenName;
  bool created = false;
  // "tk3" or "dat", and the digest of one write of the token's file of that kind.
  std::vector<std::pair<std::string, std::string>> writes;
};

constexpr std::string_view kMarkerKinds[] = {"tk3", "dat"};

std::string ImportMarkerPath() {
  std::string folder;
  if (GetSearchPath(true, folder) != OV_OK) return {};
  return JoinPath(folder, kImportMarkerName);
}

std::string Sha256Hex(std::span<const uint8_t> bytes) {
  Sha256Digest digest;
  digest.BlockUpdate(bytes, 0, bytes.size());
  std::array<uint8_t, Sha256Digest::kDigestSize> value{};
  digest.DoFinal(value, 0);
  return HexEncode(value);
}

// Empty when the file cannot be read.
std::string FileDigest(const std::string& path) {
  const std::optional<SecureBytes> file = ReadWholeFile(path);
  return file ? Sha256Hex(*file) : std::string();
}

std::optional<ImportMarker> ReadImportMarker(const std::string& path) {
  const std::optional<SecureBytes> file = ReadWholeFile(path);
  if (!file) return std::nullopt;
  std::vector<std::string> lines;
  std::string line;
  for (uint8_t byte : *file) {
    if (byte == '\n') {
      lines.push_back(std::move(line));
      line.clear();
    } else {
      line.push_back(static_cast<char>(byte));
    }
  }
  if (lines.size() < 4 || (lines[0] != "started" && lines[0] != "done")) return std::nullopt;
  ImportMarker marker{lines[0] == "done", lines[1], lines[2], lines[3] == "1", {}};
  for (std::size_t i = 4; i < lines.size(); ++i) {
    const std::size_t space = lines[i].find(' ');
    if (space == std::string::npos) continue;  // not a write this version knows: no proof
    marker.writes.emplace_back(lines[i].substr(0, space), lines[i].substr(space + 1));
  }
  return marker;
}

bool WriteImportMarker(const std::string& path, const ImportMarker& marker) {
  std::string text = std::string(marker.done ? "done" : "started") + "\n" + marker.digest + "\n" +
                     marker.tokenName + "\n" + (marker.created ? "1" : "0") + "\n";
  for (const auto& [kind, digest] : marker.writes) text += kind + " " + digest + "\n";
  return WriteFileAtomically(path, {reinterpret_cast<const uint8_t*>(text.data()), text.size()});
}

std::array<std::string, 2> TokenFilePaths(std::string_view tokenName) {
  const std::string fileName = OVEngineStore::GetFileName(tokenName);
  return {OVEngineStore::GetFullFilePath(fileName, true),
          OVEngineStore::GetFullFilePath(fileName, false)};
}

// Removes what an unfinished import made: each of the token's files that is still byte for byte
// one the import wrote. A token the import did not make, or a file changed since, stays.
void RollBackImport(const ImportMarker& marker, LogScope& log) {
  log.Text("TokenName", marker.tokenName);
  if (!marker.created) return;
  const auto paths = TokenFilePaths(marker.tokenName);
  for (std::size_t i = 0; i < paths.size(); ++i) {
    if (paths[i].empty() || !FileExists(paths[i])) continue;
    const std::string digest = FileDigest(paths[i]);
    const bool written = !digest.empty() &&
                         std::any_of(marker.writes.begin(), marker.writes.end(), [&](const auto& write) {
                           return write.first == kMarkerKinds[i] && write.second == digest;
                         });
    if (!written) {
      log.Message("A token file is not the one the import wrote: it stays");
      log.Text("Path", paths[i]);
      continue;
    }
    log.Message("Removing a token file of an unfinished import");
    log.Text("Path", paths[i]);
    if (!RemoveFile(paths[i])) log.Number("errno", errno);
  }
}

std::string ProfilePath() {
  const std::string root = GetFilePath(nullptr);
  return root.empty() ? std::string() : JoinPath(root, kOv80ProfileFileName);
}

// Settles what an earlier import left: one a crash stopped before it was done is rolled back (the
// profile stays, for the next import); one that was done, but whose profile is still there, is
// finished by deleting the profile. A marker that stays (the profile cannot be deleted) is read
// again by the next import.
void SettleImport(const std::string& markerPath, LogScope& log) {
  const std::optional<ImportMarker> marker = ReadImportMarker(markerPath);
  if (!marker) return;
  if (!marker->done) {
    log.Message("An import was interrupted: what it wrote goes, the profile stays");
    RollBackImport(*marker, log);
    if (!RemoveFile(markerPath)) log.Number("errno", errno);
    return;
  }
  const std::string profile = ProfilePath();
  if (!profile.empty() && FileExists(profile) && FileDigest(profile) == marker->digest) {
    log.Message("An import was done but its profile is still there: it is deleted");
    if (!RemoveFile(profile)) {
      log.Number("errno", errno);
      return;
    }
  }
  if (!RemoveFile(markerPath)) log.Number("errno", errno);
}

// While it lives, every token file write is noted in the marker (and the marker saved) before the
// file is written; a marker that cannot be saved refuses the write.
class ImportJournal {
 public:
  ImportJournal(ImportMarker& marker, const std::string& markerPath) {
    OVEngineStore::SetWriteJournal([&marker, &markerPath](const std::string& path,
                                                          std::span<const uint8_t> bytes) {
      const bool ov3 = EndsWith(path, kTokenExtensionOv3);
      marker.writes.emplace_back(ov3 ? kMarkerKinds[0] : kMarkerKinds[1], Sha256Hex(bytes));
      return WriteImportMarker(markerPath, marker);
    });
  }
  ~ImportJournal() { OVEngineStore::SetWriteJournal(nullptr); }
  ImportJournal(const ImportJournal&) = delete;
  ImportJournal& operator=(const ImportJournal&) = delete;
};

}  // namespace

void SettleInterruptedImport() {
  LogScope log("OVHelper::SettleInterruptedImport");
  const std::string markerPath = ImportMarkerPath();
  if (!markerPath.empty()) SettleImport(markerPath, log);
}

int32_t ImportLegacyTokenData(OVHelper& helper, const char* tokenName, ProfileImportStep step) {
  LogScope log("OVHelper::OVHelper_ImportLegacyTokenData");
  log.Text("TokenName", tokenName);
  const std::string markerPath = ImportMarkerPath();
  if (!markerPath.empty()) SettleImport(markerPath, log);
  std::string path;
  Ov80Profile profile;
  if (!IsOV80ProfileExists(path, profile)) return log.Return(OV_OK);
  if (step == nullptr || tokenName == nullptr || markerPath.empty()) {
    return log.Return(OV_ERR_OPERATION_FAILED);
  }
  const std::string digest = FileDigest(path);
  if (digest.empty()) return log.Return(OV_ERR_OPERATION_FAILED);
  if (const auto marker = ReadImportMarker(markerPath); marker && marker->done && marker->digest == digest) {
    // Imported already; the profile could not be deleted. Importing it again would give a second
    // token with the same key and an old counter.
    log.Message("Error: the profile was imported before and could not be deleted; it is not imported again");
    return log.Return(OV_OK);
  }
  const auto paths = TokenFilePaths(tokenName);
  ImportMarker marker{false, digest, tokenName, !FileExists(paths[0]) && !FileExists(paths[1]), {}};
  if (!WriteImportMarker(markerPath, marker)) {
    log.Message("Error: cannot record the import");
    return log.Return(OV_ERR_OPERATION_FAILED);
  }
  int32_t result = OV_ERR_OPERATION_FAILED;
  {
    ImportJournal journal(marker, markerPath);
    result = step(helper, tokenName, profile);
  }
  if (result != OV_OK) {
    log.Message("Error: ImportProfileData failed");
    RollBackImport(marker, log);
    RemoveFile(markerPath);
    return log.Return(result);
  }
  // Marked done before the profile goes: a crash in between is finished at the next start, never
  // imported twice.
  marker.done = true;
  if (!WriteImportMarker(markerPath, marker)) log.Message("Error: cannot record the import");
  if (RemoveFile(path)) {
    RemoveFile(markerPath);
    return log.Return(OV_OK);
  }
  log.Message("Error: cannot delete the profile; it is recorded as imported and will not be imported again");
  log.Number("errno", errno);
  return log.Return(OV_OK);
}

}  // namespace ov
