// DSKPPXml: the DSKPP messages as text. The client's two messages are written by concatenation
// with fixed namespace prefixes ("dskpp", "pskc", "xenc", "ds", "ovdskpp", "xsi"): no XML
// declaration, no whitespace between elements, attributes in apostrophes, in a fixed order. The
// server's two replies are read with the platform's XML reader (XmlEventReader: expat, XmlLite)
// without namespace processing: elements and attributes are recognised only by their literal
// prefixed names, so a server must use the same prefixes. A reply with a document type
// declaration is refused.
//
// Reading fills a table of 32 text slots (the parsed-value table), one slot per value the client
// cares about; the reply records are built from it, and the enrollment driver reads further
// values from it (the "MacAlgorithm" attribute of "dskpp:Mac", say) until the next parse. The
// table belongs to this object: each object holds one XML reader and one table, so parses on
// different objects never meet.
//
// Every text put into a message is escaped (& < > ' "), so a soft PIN or device name holding
// "<" cannot break the message or add elements. An element's text is all of its character data
// joined, however the reader splits it (expat does at line breaks and entity references). Each
// piece of a message is held to a fixed capacity (the whole message 2048 bytes with its
// terminator); a value that would not fit is refused with OVException 6003.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "common/SecureMemory.h"
#include "enroll/DSKPPData.h"

namespace ov {

// Slots of the parsed-value table.
namespace dskpp_slot {
inline constexpr int kStatus = 1;
inline constexpr int kSessionId = 2;
inline constexpr int kXmlnsPskc = 3;
inline constexpr int kXmlnsDskpp = 4;
inline constexpr int kXmlnsXenc = 5;
inline constexpr int kXmlnsDs = 6;
inline constexpr int kXmlnsXsi = 7;
inline constexpr int kXsiType = 8;
inline constexpr int kXmlnsVendor = 9;
inline constexpr int kKeyType = 10;
inline constexpr int kEncryptionAlgorithm = 11;
inline constexpr int kMacAlgorithm = 12;  // element of the ServerHello, attribute of "dskpp:Mac"
inline constexpr int kKeyName = 13;
inline constexpr int kKeyPackageFormat = 14;
inline constexpr int kNonce = 15;
inline constexpr int kAlphanumeric = 16;
inline constexpr int kMaxLength = 17;
inline constexpr int kMinLength = 18;
inline constexpr int kCollectDeviceName = 19;
inline constexpr int kEnrollmentError = 20;
inline constexpr int kSerialNo = 21;
inline constexpr int kManufacturer = 22;
inline constexpr int kKeyProfileId = 23;
inline constexpr int kKeyUsage = 24;
inline constexpr int kKeyId = 25;
inline constexpr int kKeyAlgorithm = 26;
inline constexpr int kMac = 27;
inline constexpr int kUserId = 28;
}  // namespace dskpp_slot

class DSKPPXml {
 public:
  static constexpr int kParsedValueCount = 32;

  // Creates the XML reader; 6003 when it cannot be had.
  DSKPPXml();
  ~DSKPPXml();
  DSKPPXml(const DSKPPXml&) = delete;
  DSKPPXml& operator=(const DSKPPXml&) = delete;

  // The message text of a ClientHello or ClientNonce record. Nothing for an empty version, a
  // missing record or a record of another type; 6003 for a record without a type or a value that
  // does not fit its piece.
  std::optional<SecureString> FormatMsg(std::string_view version, const IDSKPPData* record);

  // A reply record: a ServerHello when the text mentions "dskpp:KeyProvServerHello" anywhere,
  // else a ServerFinished when it mentions "dskpp:KeyProvServerFinished"; null for an empty text,
  // a parse error or neither name. A ServerHello whose soft-PIN rule has a minimum below 3 raises
  // 6003.
  std::unique_ptr<IDSKPPData> ParseMsg(std::string_view version, std::string_view xml);

  // The text of a slot of the parsed-value table, or null (also for an index outside 0..31).
  const std::string* GetParsedValue(int index) const;
  void ClearParsedValues();

  // The pieces, public for the tests and the fuzz targets.
  std::unique_ptr<DSKPPServerHelloData> ParseServerHelloMsg(std::string_view xml);
  std::unique_ptr<DSKPPServerFinishedData> ParseServerFinishedMsg(std::string_view xml);
  // 1 on success, 0 on a parse error. Replies are read whole: a document cut short is an error
  // whatever `final` says.
  int XmlParse(std::string_view xml, bool final);

 private:
  struct Parser;
  SecureString FormatClientHelloMsg(const DSKPPClientHelloData& record) const;
  SecureString FormatClientNonceMsg(const DSKPPClientNonceData& record) const;

  std::unique_ptr<Parser> m_parser;
  std::array<std::optional<std::string>, kParsedValueCount> m_values;
};

}  // namespace ov
