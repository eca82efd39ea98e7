#include "platform/windows/WindowsUserProtect.h"

// clang-format off
#include <windows.h>
#include <dpapi.h>
// clang-format on

#include <limits>

namespace ov::platform {

namespace {

// The system's output buffers are handed back with LocalFree; a plaintext is wiped first.
struct LocalBlob {
  DATA_BLOB blob{};
  bool secret = false;
  ~LocalBlob() {
    if (blob.pbData == nullptr) return;
    if (secret) SecureWipe(blob.pbData, blob.cbData);
    LocalFree(blob.pbData);
  }
};

// The API takes non-const pointers but does not write through its inputs. No entropy is passed as
// none at all, so that blobs sealed without entropy open.
bool Input(std::span<const uint8_t> bytes, DATA_BLOB& blob) {
  if (bytes.size() > std::numeric_limits<DWORD>::max()) return false;
  static BYTE empty = 0;
  blob.cbData = static_cast<DWORD>(bytes.size());
  blob.pbData = bytes.empty() ? &empty : const_cast<BYTE*>(bytes.data());
  return true;
}

}  // namespace

std::optional<std::vector<uint8_t>> WindowsUserProtect::Protect(std::span<const uint8_t> data,
                                                                std::span<const uint8_t> entropy) {
  DATA_BLOB in{}, extra{};
  if (!Input(data, in) || !Input(entropy, extra)) return std::nullopt;
  LocalBlob out;
  if (!CryptProtectData(&in, kDescription, entropy.empty() ? nullptr : &extra, nullptr, nullptr, 0,
                        &out.blob)) {
    return std::nullopt;
  }
  return std::vector<uint8_t>(out.blob.pbData, out.blob.pbData + out.blob.cbData);
}

std::optional<SecureBytes> WindowsUserProtect::Unprotect(std::span<const uint8_t> blob,
                                                         std::span<const uint8_t> entropy) {
  DATA_BLOB in{}, extra{};
  if (blob.empty() || !Input(blob, in) || !Input(entropy, extra)) return std::nullopt;
  LocalBlob out;
  out.secret = true;
  if (!CryptUnprotectData(&in, nullptr, entropy.empty() ? nullptr : &extra, nullptr, nullptr, 0,
                          &out.blob)) {
    return std::nullopt;
  }
  if (out.blob.cbData == 0) return SecureBytes{};
  return SecureBytes(out.blob.pbData, out.blob.pbData + out.blob.cbData);
}

}  // namespace ov::platform
