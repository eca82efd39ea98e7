// Fuzzes how the desktop application reads an enrollment server's address from outside text (an
// enrollment string, the clipboard) to name its host: UTF-8 in, wide text, the host shown. The
// host never carries what another reader would take for user information, a path, a query or a
// fragment; an ASCII address is shown in ASCII; and a wide text goes through UTF-8 and back
// unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/core/CaseFold.h"
#include "app/core/ServerHost.h"
#include "app/core/Text.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::wstring wide = ov::app::FromUtf8(text);
  Check(ov::app::FromUtf8(ov::app::ToUtf8(wide)) == wide);
  const std::string host = ov::app::ServerHostForDisplay(wide);
  Check(host.find_first_of("/?#@") == std::string::npos);
  bool ascii = true;
  for (unsigned char c : text) ascii = ascii && c < 0x80;
  if (ascii) {
    for (unsigned char c : host) Check(c < 0x80 && !(c >= 'A' && c <= 'Z'));
  }
  Check(ov::app::SameIgnoringCase(wide, wide));
  return 0;
}
