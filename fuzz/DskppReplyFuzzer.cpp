// Fuzzes the reader of the enrollment server's replies (ServerHello and ServerFinished XML) with
// arbitrary text. Besides memory safety it checks what the client relies on: the only exception
// is the 6003 of a refused soft-PIN rule; the record's type follows the names in the text; an
// accepted rule is a usable one; and a value read from a reply (the SessionID the client echoes,
// a server's error text) written back into a client message either is refused with 6003 or
// gives text that still parses as XML.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "common/OVException.h"
#include "enroll/DSKPPData.h"
#include "enroll/DSKPPXml.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckEchoedValue(const ov::OptionalText& value) {
  if (!value) return;
  ov::DSKPPClientNonceData nonce;
  nonce.sessionId = value;
  nonce.deviceName = value;
  nonce.collectDeviceName = true;
  nonce.softPin = ov::SecureString(*value);
  try {
    ov::DSKPPXml writer;
    const auto text = writer.FormatMsg("1.0", &nonce);
    Check(text.has_value());
    Check(ov::DSKPPXml().XmlParse(text->view(), true) == 1);
  } catch (const ov::OVException& e) {
    Check(e.GetErrorCode() == 6003);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  ov::DSKPPXml xml;
  std::unique_ptr<ov::IDSKPPData> record;
  try {
    record = xml.ParseMsg("1.0", text);
  } catch (const ov::OVException& e) {
    Check(e.GetErrorCode() == 6003);
    Check(text.find(ov::dskpp::kServerHello) != std::string_view::npos);
    return 0;
  }
  for (int i = -1; i <= ov::DSKPPXml::kParsedValueCount; ++i) {
    const std::string* value = xml.GetParsedValue(i);
    Check(value == nullptr || (i > 0 && i < ov::DSKPPXml::kParsedValueCount));
  }
  if (!record) return 0;

  const bool hello = text.find(ov::dskpp::kServerHello) != std::string_view::npos;
  Check(record->GetMessageType() == (hello ? ov::dskpp::kServerHello : ov::dskpp::kServerFinished));
  if (const auto* h = dynamic_cast<const ov::DSKPPServerHelloData*>(record.get())) {
    const bool noRule = h->minSoftPinLength == 0 && h->maxSoftPinLength == 0;
    Check(noRule || (h->minSoftPinLength >= ov::dskpp::kSoftPinMinLength &&
                     h->maxSoftPinLength >= h->minSoftPinLength &&
                     (h->maxSoftPinLength <= ov::dskpp::kSoftPinMaxLength ||
                      h->maxSoftPinLength == h->minSoftPinLength)));
    if (!h->IsStatusOk()) Check(noRule && !h->keyName && !h->serverNonce);
    CheckEchoedValue(h->sessionId);
  }
  if (const auto* f = dynamic_cast<const ov::DSKPPServerFinishedData*>(record.get())) {
    if (!f->IsStatusOk()) Check(!f->mac && !f->serialNumber);
    CheckEchoedValue(f->errorText);
  }
  return 0;
}
