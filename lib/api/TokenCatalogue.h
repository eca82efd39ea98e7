// The token catalogue: which tokens exist on this machine (or on the USB drive the program runs
// from), read from their files without opening any of them, and the import of an 8.0 profile.
//
// Two kinds of token file live side by side, each in its own folder of the storage root:
// format-3 files ("KELSA_TOKEN_OV3", names ending in ".tk3") and legacy files of the 8.2
// generation ("KLSA_GA_8_2", ".dat"). A listing runs the legacy folder first, then the format-3
// folder, and repairs the store as it goes:
//   - a file that cannot be read is set aside: its extension becomes ".unsupported";
//   - before each pass, set-aside files get the pass's extension back and are tried again, so a
//     file that reads again (its USB drive is back, say) returns to the list;
//   - a legacy token that was never activated is deleted.
// Count-only listing (no array) counts the matching files of both folders after the set-aside
// files got their extension back, without reading, deleting or setting aside anything.
//
// Renames never replace an existing file: a set-aside or restored name that is taken already
// leaves the file where it is, to be tried again at the next listing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ov/ov_api.h"
#include "storage/Ov80Profile.h"
#include "storage/TokenData.h"

namespace ov {

class OVHelper;

// Both passes, legacy first. `list` null: count-only, *count becomes the number of matching
// files. Otherwise *count is the capacity of `list` and becomes the number of entries filled,
// never more than the capacity. The result is the format-3 pass's; *count is written only on 0.
int32_t GetTokenList(std::string_view uniqueId, OVTokenInfoA* list, int32_t* count);

// One folder. `found` counts on from its value (entries of the earlier pass come first in
// `list`). The result is that of the last entry filled in this pass (0 when none was).
int32_t GetTokenListByType(std::string_view uniqueId, OVTokenInfoA* list, int32_t capacity,
                           bool isOv3, int32_t& found);

// Repairs what an interrupted operation left in the token folders. Called once the store's lock is
// held, when no save of any process can be running:
//   - temporary files of an interrupted save ("<name>.tk3.XXXXXX" and the like) are removed;
//   - a format-3 file under another name than its token name gives, where that name is free, is
//     moved there: a rename stopped after the file was rewritten for the new name;
//   - an interrupted import is rolled back or finished (SettleInterruptedImport);
//   - a token that is both a legacy and a format-3 file keeps the activated one: a conversion
//     stopped before the legacy file was removed, or an import before the format-3 file was.
// Nothing that cannot be read is touched here; listing deals with it.
void RecoverTokenFolders(std::string_view uniqueId);

// Settles an import a crash interrupted (see ImportLegacyTokenData); part of RecoverTokenFolders.
void SettleInterruptedImport();

// The folder of one kind; OV_ERR_OPERATION_FAILED when it cannot be determined.
int32_t GetSearchPath(bool isOv3, std::string& directory);

// Gives every ".unsupported" file of `directory` the kind's extension back.
void TryRestoreUnsupported(const std::string& directory, bool isOv3);

// Fills one list entry from a token file's record. Strings are library-owned (released with
// ReleaseTokenInfo); the two trivial-PIN flags and the reserved fields are left as they are.
// OV_ERR_OPERATION_FAILED, with `entry` untouched, when the record's policy cannot be applied.
int32_t GetTokenDetails(const TokenData& record, OVTokenInfoA& entry);

// "Level <level>", library-owned.
char* GetPolicyLevelStr(int32_t level);

// The mode text, library-owned: "EVENT_SYNCHRONOUS", "TIME_SYNCHRONOUS", "CHALLENGE_RESPONSE",
// "MULTI_HOST" at index mode mod 4, so the short-form modes 4 to 6 read as their long forms.
// Null for a mode above 6 (and for a negative one). The same as the engine's.
char* GetTokenModeStr(int32_t mode);

// Seconds until a lock-out that ends at `lockUntil` (seconds since 2010-01-01 00:00:01 UTC) is
// over; never negative. The same as the engine's.
int32_t GetLockTimeLeft(int32_t lockUntil);

// Reports a file's permission bits and whether this user may read and write it to the
// diagnostic log; nothing else (and nothing at all without a logger).
void CheckFilePermissions(const std::string& path);

// Finds "ProfileData" in the storage root and reads it. False when there is no root, the path
// would be too long, or the file cannot be opened.
bool IsOV80ProfileExists(std::string& path, Ov80Profile& profile);

// The engine step of an 8.0 import, given to ImportLegacyTokenData (a parameter, so the import is
// testable and the library links before the engine supplies it).
using ProfileImportStep = int32_t (*)(OVHelper& helper, const char* tokenName,
                                      const Ov80Profile& profile);

// OVHelper_ImportLegacyTokenData: reads the profile (none: 0, nothing else happens), runs `step`
// for `tokenName`, and deletes the profile when the step gave 0. A step failure is returned
// unchanged, what the step wrote is removed and the profile stays. While the import runs, the
// token folder holds a record of it ("ProfileData.import": the profile's SHA-256, the token name,
// whether the import made the token, and the SHA-256 of each token file write, noted before the
// write):
//   - an import a crash interrupted is rolled back by the next program that takes the store's
//     lock (SettleInterruptedImport): a token file goes only while it is byte for byte one the
//     import wrote, so a token the user renamed to that name, or activated by hand, stays; the
//     profile stays and is imported again by the next call;
//   - an import that was done is recorded so before the profile is deleted; a profile that cannot
//     be deleted (or a crash before it was) is not imported again: later calls give 0 and try to
//     delete it once more. The log says what happened.
int32_t ImportLegacyTokenData(OVHelper& helper, const char* tokenName, ProfileImportStep step);

// The engine step that OVHelper_ImportLegacyTokenData gives to ImportLegacyTokenData (in
// OVHelper.cpp). What it does, in order:
//  1. helper.OVHelper_GetInstance(tokenName, 0). A non-zero code is returned unchanged (7005 or
//     7000 when an instance is open already, 6502, 6003); nothing else happens.
//  2. ImportProfileData(profile) on the new instance's engine:
//     - profile.Flag() != 1: nothing is set.
//     - Flag 1: SetPolicy with an empty policy text (the level 1 default policy, saved); a non-zero
//       result makes the step's result 6003. Then, by profile.Activation():
//       0 (not activated): m_nBadPinCount = 0, m_nCounters[0] = 0, m_nLockUntil = 0,
//         m_nPinUseCount = 0, m_nPasscodeLength = profile.PasscodeLength(), m_nState and
//         m_nTokenState = PENDING_PIN_STATE, m_szKeyMaterial = profile.KeyMaterial();
//       1 (activated): m_nBadPinCount = profile.BadPinCount(), m_nCounters[0] =
//         profile.MovingFactor(), m_nLockUntil = 0, m_nPinUseCount = 0, m_nPasscodeLength =
//         profile.PasscodeLength(), m_nState and m_nTokenState = ACTIVATED_STATE,
//         m_szEncOtpKey = profile.EncOtpKey() (the OTP key protected with the 8.0 PIN, EncryptKP
//         3DES, exactly like a legacy record's);
//       any other activation value: nothing more.
//     - SaveData.
//     The imported key must still be there after the instance is released: a format-3 file
//     keeps neither m_szKeyMaterial nor m_szEncOtpKey. So the token must be saved in a form that
//     carries it:
//       activated: save the token as a legacy ".dat" file (m_bIsOv3File = false, SaveData; the
//         legacy record keeps m_szEncOtpKey) and only after that write succeeded remove the
//         ".tk3" file that step 1 created (it would win over the ".dat" at the next open). The
//         token then behaves as any activated legacy token: the profile's PIN opens it through
//         DecryptOTPKey (DecryptKP) and the first right PIN converts it to format 3. A listing
//         keeps it (state 3).
//       not activated: a legacy file would be deleted by the next listing (state 2), so the
//         token stays a ".tk3" file and the key material goes into its map under the tag "AS"
//         (setText("AS", key material), the tag the legacy conversion uses for the same field),
//         then SaveData. On loading a token whose record is in PENDING_PIN_STATE with empty
//         m_szKeyMaterial, the engine reads the file's map (ReadOV3FromFile into m_Properties)
//         and takes m_szKeyMaterial from its "AS" when that is not empty; SetPIN then
//         derives the OTP key from it (InitializeOrvanti) as after a manual activation, and
//         once the OTP key is protected "AS" is overwritten with an empty text.
//  3. helper.OVHelper_ReleaseInstance(), on every path after step 1 succeeded.
//  4. Result: 0, or 6003 when step 2 failed (the profile then stays for a later attempt).
int32_t ImportProfileIntoToken(OVHelper& helper, const char* tokenName, const Ov80Profile& profile);

}  // namespace ov
