/* Orvanti token library: the public C interface of libovcore.so.
 *
 * Conventions
 *  - Every function returns an int32_t result code: OV_OK (0) on success, otherwise one of the
 *    OV_ERR_ codes below. Nothing is thrown across this interface.
 *  - Calling order: OV_Initialize once per process, OV_CreateInstance for one token name, token
 *    operations, OV_ReleaseInstance, (another OV_CreateInstance ...), OV_Finalize. Listing and
 *    importing need only OV_Initialize.
 *  - Text comes in two forms. The A functions take narrow strings, which are UTF-8; the W functions
 *    take wide (wchar_t, UTF-32) strings, convert them to UTF-8 and call the A function. Length rules
 *    count bytes of the narrow form.
 *  - Memory: records filled by the library (OV_GetTokenInfo*, OV_GetTokenList*) hold strings that
 *    the library allocated; the caller owns the record itself and gives the strings back with
 *    OV_FreeTokenInfo* (one record, needs the open token) or OV_FreeTokenList* (an array).
 *  - Passcodes: call OV_GenerateOtp* first with a null buffer to learn the passcode length in
 *    *otpLength; then pass a zero-filled buffer of at least that length + 1 characters. The A form
 *    writes the passcode's characters without a terminator; the W form adds one.
 *  - One call at a time: a call made while another thread is inside the library fails at once with
 *    OV_ERR_OPERATION_FAILED; nothing waits.
 */
#ifndef OV_OV_API_H
#define OV_OV_API_H

#include <stddef.h>
#include <stdint.h>
#include <wchar.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define OV_EXPORT __attribute__((visibility("default")))
#else
#define OV_EXPORT
#endif

/* Result codes, as one table: X(name, value). Front ends expand it to name the codes. */
#define OV_RESULT_CODES(X)                 \
  X(OV_OK, 0)                              \
  X(OV_ERR_BUFFER_TOO_SMALL, 6001)         \
  X(OV_ERR_INVALID_PARAM, 6002)            \
  X(OV_ERR_OPERATION_FAILED, 6003)         \
  X(OV_ERR_ALREADY_INITIALIZED, 6500)      \
  X(OV_ERR_INIT_FAILED, 6501)              \
  X(OV_ERR_NOT_INITIALIZED, 6502)          \
  X(OV_ERR_STORE_NOT_PRIVATE, 6503)        \
  X(OV_ERR_USER_SECRET_MISSING, 6504)      \
  X(OV_ERR_FILE_LOCKING_UNSUPPORTED, 6505) \
  X(OV_ERR_OTHER_TOKEN_OPEN, 7000)         \
  X(OV_ERR_DUPLICATE_TOKEN_NAME, 7001)     \
  X(OV_ERR_TOKEN_LOCKED, 7002)             \
  X(OV_ERR_TOKEN_DEACTIVATED, 7003)        \
  X(OV_ERR_INVALID_TOKEN_STATE, 7004)      \
  X(OV_ERR_INSTANCE_EXISTS, 7005)          \
  X(OV_ERR_ACTIVATION_REQUIRED, 7006)      \
  X(OV_ERR_NO_INSTANCE, 7007)              \
  X(OV_ERR_PIN_ALREADY_SET, 7008)          \
  X(OV_ERR_CHANGE_PIN_REQUIRED, 7500)      \
  X(OV_ERR_PIN_NOT_SUPPORTED, 7501)        \
  X(OV_ERR_TOKEN_NOT_ACTIVATED, 7502)      \
  X(OV_ERR_SOFT_PIN_REQUIRED, 7503)        \
  X(OV_ERR_SOFT_PIN_NOT_ALLOWED, 7504)     \
  X(OV_ERR_PIN_NOT_VERIFIED, 7505)         \
  X(OV_ERR_INVALID_PIN, 7506)

#define OV_RESULT_ENUM_ENTRY_(name, value) name = value,
enum OVResultCode { OV_RESULT_CODES(OV_RESULT_ENUM_ENTRY_) };
#undef OV_RESULT_ENUM_ENTRY_

/* Why OV_Initialize* answered OV_ERR_STORE_NOT_PRIVATE (OV_GetStoreProblemA). */
enum OVStoreFault {
  OV_STORE_WRITABLE_BY_OTHERS = 1, /* a folder that group or others may write */
  OV_STORE_OTHER_OWNER = 2,        /* a folder that belongs to another user */
  OV_STORE_NOT_PLAIN = 3,          /* not a folder, or a lock file that is a link or not the user's */
  OV_STORE_SECRET_REFUSED = 4      /* the user's secret is not a private file of the user's, or damaged */
};

/* What kind of failure ended the last automatic enrollment (OV_GetEnrollmentFailure). */
enum OVEnrollmentFailure {
  OV_ENROLL_FAILURE_UNKNOWN = 0,         /* no failure, or none of the kinds below */
  OV_ENROLL_SERVER_NOT_REACHED = 1,      /* name not resolved, no connection, proxy, time-out */
  OV_ENROLL_CERTIFICATE_NOT_TRUSTED = 2, /* the certificate or host name failed the check */
  OV_ENROLL_CREDENTIALS_REFUSED = 3,     /* the server refused the user ID or password */
  OV_ENROLL_SERVER_ANSWER_WRONG = 4      /* the server's answer could not be used */
};

/* Token states (m_nTokenState). */
enum OVTokenState {
  INSTALLED_STATE = 1,   /* created, not activated */
  PENDING_PIN_STATE = 2, /* activation code generated or keys received; the PIN is not set yet */
  ACTIVATED_STATE = 3    /* PIN set or not needed; passcodes can be generated */
};

/* Token modes and their texts (m_szTokenMode). */
enum OVTokenMode {
  EVENT_SYNCHRONOUS = 0,
  TIME_SYNCHRONOUS = 1,
  CHALLENGE_RESPONSE = 2,
  MULTI_HOST = 3
};
#define OV_MODE_TEXT_EVENT_SYNCHRONOUS "EVENT_SYNCHRONOUS"
#define OV_MODE_TEXT_TIME_SYNCHRONOUS "TIME_SYNCHRONOUS"
#define OV_MODE_TEXT_CHALLENGE_RESPONSE "CHALLENGE_RESPONSE"
#define OV_MODE_TEXT_MULTI_HOST "MULTI_HOST"

/* Size of the activation-code buffer of OV_GenerateActivationCode*, terminator included. */
#define OV_ACTIVATION_CODE_SIZE 24

/* Token information. The library allocates the strings; give them back with OV_FreeTokenInfo* or
 * OV_FreeTokenList*. Fields without a policy read -1 where noted. */
typedef struct OVTokenInfoA {
  char* m_szTokenName;
  char* m_szTokenPolicy;
  char* m_szTokenPolicyLevel;  /* "Level " and the policy level */
  char* m_szTokenMode;         /* mode text, or null for a mode above 6 */
  char* m_szTokenSerialNo;     /* may be empty */
  char* m_szSdkVersion;        /* "8.3.1" */
  int32_t m_nTokenState;
  int32_t m_nChallengeLength;  /* -1 without a policy */
  int32_t m_nMaxAttacks;       /* wrong PINs until deactivation, 0 = unlimited; -1 without a policy */
  int32_t m_nBadPinCount;
  int32_t m_nLockTimeLeft;     /* seconds until the PIN lock-out ends */
  uint8_t m_bTokenLocked;
  uint8_t m_bPinRequired;      /* the policy's "pinlen" is not 0: the token has a PIN */
  /* The PIN length the PIN rule enforces: the policy's "pinlen", or for level 4 and 5 policies
   * with the PIN-length extension the extended length (5 or 7). Without a PIN: 0 in a list entry
   * (OV_GetTokenList*), -1 in the open token's information (OV_GetTokenInfo*); -1 without a
   * policy. */
  int32_t m_nPinLength;
  int32_t m_nTimeStep;         /* -1 without a policy */
  uint8_t m_bTrivialPinAllowedEx;
  void* m_pReserved;           /* never filled by the library */
  int32_t m_nReservedLength;
  uint8_t m_bTrivialPinAllowed;
} OVTokenInfoA;

typedef struct OVTokenInfoW {
  wchar_t* m_szTokenName;
  wchar_t* m_szTokenPolicy;
  wchar_t* m_szTokenPolicyLevel;
  wchar_t* m_szTokenMode;
  wchar_t* m_szTokenSerialNo;
  wchar_t* m_szSdkVersion;
  int32_t m_nTokenState;
  int32_t m_nChallengeLength;
  int32_t m_nMaxAttacks;
  int32_t m_nBadPinCount;
  int32_t m_nLockTimeLeft;
  uint8_t m_bTokenLocked;
  uint8_t m_bPinRequired;
  int32_t m_nPinLength;        /* as in OVTokenInfoA */
  int32_t m_nTimeStep;
  uint8_t m_bTrivialPinAllowedEx;
  void* m_pReserved;
  int32_t m_nReservedLength;
  uint8_t m_bTrivialPinAllowed;
} OVTokenInfoW;

/* Library life. uniqueId: 4..64 characters, none of + = | ; < > , \ " * ? : / (trailing blanks
 * dropped, a-z upper-cased); it also names the mutex that keeps a second process out.
 * Returns OV_OK, OV_ERR_INVALID_PARAM, OV_ERR_ALREADY_INITIALIZED, OV_ERR_INIT_FAILED,
 * OV_ERR_OPERATION_FAILED, and for a token store that cannot be used safely:
 * OV_ERR_STORE_NOT_PRIVATE (a folder on the way to the token files or the user's secret, or the
 * store's lock file, can be changed by another user), OV_ERR_USER_SECRET_MISSING (token files
 * exist but the user's secret that opens them does not; no new secret is made),
 * OV_ERR_FILE_LOCKING_UNSUPPORTED (the store's file system refuses file locks).
 * OV_GetStoreProblemA then names the folder or file. */
OV_EXPORT int32_t OV_InitializeA(const char* uniqueId, int32_t reserved);
OV_EXPORT int32_t OV_InitializeW(const wchar_t* uniqueId, int32_t reserved);
/* Releases an open token and the library. OV_OK, OV_ERR_NOT_INITIALIZED, OV_ERR_OPERATION_FAILED. */
OV_EXPORT int32_t OV_Finalize(void);
/* The folder or file the last OV_Initialize* answer of OV_ERR_STORE_NOT_PRIVATE,
 * OV_ERR_USER_SECRET_MISSING or OV_ERR_FILE_LOCKING_UNSUPPORTED was about (the user's secret for
 * OV_ERR_USER_SECRET_MISSING), as a zero-terminated path in a buffer of *pathLength characters,
 * and for OV_ERR_STORE_NOT_PRIVATE why (an OVStoreFault; 0 otherwise; fault may be null). Needs no
 * initialisation. OV_OK; OV_ERR_BUFFER_TOO_SMALL (path null or too short: the needed length, with
 * the terminator, is written to *pathLength); OV_ERR_INVALID_PARAM (pathLength null);
 * OV_ERR_OPERATION_FAILED (no such answer since the process started or the last success). */
OV_EXPORT int32_t OV_GetStoreProblemA(char* path, int32_t* pathLength, int32_t* fault);

/* Opens the token of that name, creating its file when it has none. reserved must be 0.
 * OV_OK, OV_ERR_INVALID_PARAM, OV_ERR_NOT_INITIALIZED, OV_ERR_INSTANCE_EXISTS,
 * OV_ERR_OTHER_TOKEN_OPEN, OV_ERR_OPERATION_FAILED. */
OV_EXPORT int32_t OV_CreateInstanceA(const char* tokenName, int32_t reserved);
OV_EXPORT int32_t OV_CreateInstanceW(const wchar_t* tokenName, int32_t reserved);
/* OV_OK, OV_ERR_NO_INSTANCE, OV_ERR_NOT_INITIALIZED, OV_ERR_OPERATION_FAILED. */
OV_EXPORT int32_t OV_ReleaseInstance(void);

/* Manual activation: applies the policy string (null: the default policy) and writes the activation
 * code (OV_ACTIVATION_CODE_SIZE characters with the terminator). OV_OK, OV_ERR_INVALID_PARAM,
 * OV_ERR_NO_INSTANCE, OV_ERR_INVALID_TOKEN_STATE, OV_ERR_NOT_INITIALIZED, OV_ERR_OPERATION_FAILED. */
OV_EXPORT int32_t OV_GenerateActivationCodeA(const char* policy, char* activationCode);
OV_EXPORT int32_t OV_GenerateActivationCodeW(const wchar_t* policy, wchar_t* activationCode);

/* Automatic enrollment over HTTPS. softPin and deviceName may be null; timeOutSeconds 0 takes the
 * default. The server's soft-PIN rules come back in the three in/out integers.
 * OV_OK, OV_ERR_INVALID_PARAM, OV_ERR_NO_INSTANCE, OV_ERR_INVALID_TOKEN_STATE,
 * OV_ERR_SOFT_PIN_REQUIRED, OV_ERR_SOFT_PIN_NOT_ALLOWED, OV_ERR_NOT_INITIALIZED,
 * OV_ERR_OPERATION_FAILED. */
OV_EXPORT int32_t OV_PerformAutoEnrollmentA(const char* url, const char* userId,
                                            const char* password, const char* softPin,
                                            const char* deviceName, int32_t timeOutSeconds,
                                            int32_t* softPinMinLength, int32_t* softPinMaxLength,
                                            int32_t* softPinComplexity);
OV_EXPORT int32_t OV_PerformAutoEnrollmentW(const wchar_t* url, const wchar_t* userId,
                                            const wchar_t* password, const wchar_t* softPin,
                                            const wchar_t* deviceName, int32_t timeOutSeconds,
                                            int32_t* softPinMinLength, int32_t* softPinMaxLength,
                                            int32_t* softPinComplexity);
/* Why the last OV_PerformAutoEnrollment* call failed, as an OVEnrollmentFailure in *kind:
 * OV_ENROLL_FAILURE_UNKNOWN after a success, before any call, or for a failure of none of the
 * kinds (a refused URL or soft PIN, say). The result codes of the
 * enrollment stay as they are; this only says more about OV_ERR_OPERATION_FAILED. Needs no
 * initialisation. OV_OK; OV_ERR_INVALID_PARAM (kind null). */
OV_EXPORT int32_t OV_GetEnrollmentFailure(int32_t* kind);

/* Checks a PIN against the open token's PIN rules without setting it. OV_OK, OV_ERR_INVALID_PARAM,
 * OV_ERR_NO_INSTANCE, OV_ERR_PIN_NOT_SUPPORTED, OV_ERR_NOT_INITIALIZED, OV_ERR_OPERATION_FAILED. */
OV_EXPORT int32_t OV_SetPinValidationA(const char* pin);
OV_EXPORT int32_t OV_SetPinValidationW(const wchar_t* pin);
/* Checks a soft PIN against length and complexity rules. OV_OK, OV_ERR_INVALID_PARAM,
 * OV_ERR_NOT_INITIALIZED, OV_ERR_OPERATION_FAILED. */
OV_EXPORT int32_t OV_SetOTPValidationA(const char* softPin, int32_t minLength, int32_t maxLength,
                                       int32_t complexity);
OV_EXPORT int32_t OV_SetOTPValidationW(const wchar_t* softPin, int32_t minLength,
                                       int32_t maxLength, int32_t complexity);

/* PIN life. OV_OK, OV_ERR_INVALID_PARAM, OV_ERR_NO_INSTANCE, OV_ERR_ACTIVATION_REQUIRED,
 * OV_ERR_PIN_NOT_SUPPORTED, OV_ERR_PIN_ALREADY_SET, OV_ERR_TOKEN_NOT_ACTIVATED,
 * OV_ERR_TOKEN_LOCKED, OV_ERR_INVALID_PIN, OV_ERR_TOKEN_DEACTIVATED, OV_ERR_CHANGE_PIN_REQUIRED
 * (OV_ValidatePin: the PIN was right but must be changed now), OV_ERR_NOT_INITIALIZED,
 * OV_ERR_OPERATION_FAILED. */
OV_EXPORT int32_t OV_SetPinA(const char* pin);
OV_EXPORT int32_t OV_SetPinW(const wchar_t* pin);
OV_EXPORT int32_t OV_ChangePinA(const char* oldPin, const char* newPin);
OV_EXPORT int32_t OV_ChangePinW(const wchar_t* oldPin, const wchar_t* newPin);
OV_EXPORT int32_t OV_ValidatePinA(const char* pin);
OV_EXPORT int32_t OV_ValidatePinW(const wchar_t* pin);

/* Passcodes. challenge: null unless the token asks for one; hostIndex: 1..9 for multi-host tokens.
 * otp null or *otpLength 0: only the length is written. OV_OK, OV_ERR_BUFFER_TOO_SMALL (the needed
 * length is written back), OV_ERR_INVALID_PARAM, OV_ERR_NO_INSTANCE, OV_ERR_TOKEN_NOT_ACTIVATED,
 * OV_ERR_TOKEN_LOCKED, OV_ERR_PIN_NOT_VERIFIED, OV_ERR_NOT_INITIALIZED, OV_ERR_OPERATION_FAILED. */
OV_EXPORT int32_t OV_GenerateOtpA(const char* challenge, int32_t hostIndex, char* otp,
                                  int32_t* otpLength);
OV_EXPORT int32_t OV_GenerateOtpW(const wchar_t* challenge, int32_t hostIndex, wchar_t* otp,
                                  int32_t* otpLength);
/* Seconds left in the current time step of a time-based token. OV_OK, OV_ERR_OPERATION_FAILED
 * (not a time-based token), OV_ERR_NO_INSTANCE, OV_ERR_NOT_INITIALIZED. */
OV_EXPORT int32_t OV_GetRemainingTickCount(int32_t* seconds);

/* Token management. OV_OK, OV_ERR_NO_INSTANCE, OV_ERR_TOKEN_LOCKED, OV_ERR_PIN_NOT_VERIFIED,
 * OV_ERR_TOKEN_NOT_ACTIVATED, OV_ERR_DUPLICATE_TOKEN_NAME, OV_ERR_INVALID_PARAM,
 * OV_ERR_NOT_INITIALIZED, OV_ERR_OPERATION_FAILED. */
OV_EXPORT int32_t OV_ResetToken(void);
OV_EXPORT int32_t OV_DeleteToken(void);
OV_EXPORT int32_t OV_ChangeTokenNameA(const char* newName);
OV_EXPORT int32_t OV_ChangeTokenNameW(const wchar_t* newName);

/* Information about the open token. OV_OK, OV_ERR_INVALID_PARAM, OV_ERR_NO_INSTANCE,
 * OV_ERR_NOT_INITIALIZED, OV_ERR_OPERATION_FAILED. */
OV_EXPORT int32_t OV_GetTokenInfoA(OVTokenInfoA* info);
OV_EXPORT int32_t OV_GetTokenInfoW(OVTokenInfoW* info);
/* Gives back the strings of a record filled by OV_GetTokenInfo* and zeroes its fields; needs the
 * open token. OV_OK, OV_ERR_INVALID_PARAM, OV_ERR_NO_INSTANCE, OV_ERR_NOT_INITIALIZED,
 * OV_ERR_OPERATION_FAILED. */
OV_EXPORT int32_t OV_FreeTokenInfoA(OVTokenInfoA* info);
OV_EXPORT int32_t OV_FreeTokenInfoW(OVTokenInfoW* info);

/* All tokens. list null: *count receives the number of tokens; otherwise up to *count records are
 * filled and *count is set to the number filled. OV_OK, OV_ERR_INVALID_PARAM,
 * OV_ERR_NOT_INITIALIZED, OV_ERR_OPERATION_FAILED. */
OV_EXPORT int32_t OV_GetTokenListA(OVTokenInfoA* list, int32_t* count);
OV_EXPORT int32_t OV_GetTokenListW(OVTokenInfoW* list, int32_t* count);
/* Gives back the strings of count records filled by OV_GetTokenList*; no open token needed.
 * OV_OK, OV_ERR_INVALID_PARAM, OV_ERR_NOT_INITIALIZED, OV_ERR_OPERATION_FAILED. */
OV_EXPORT int32_t OV_FreeTokenListA(OVTokenInfoA* list, int32_t count);
OV_EXPORT int32_t OV_FreeTokenListW(OVTokenInfoW* list, int32_t count);

/* Imports the tokens of the earlier file formats under tokenName. OV_OK, OV_ERR_INVALID_PARAM (W),
 * OV_ERR_NOT_INITIALIZED (also for a name that breaks the token-name rule, A form),
 * OV_ERR_OPERATION_FAILED. */
OV_EXPORT int32_t OV_ImportLegacyTokenDataA(const char* tokenName);
OV_EXPORT int32_t OV_ImportLegacyTokenDataW(const wchar_t* tokenName);

#ifdef __cplusplus
}
#endif

#endif /* OV_OV_API_H */
