// The DSKPP messages as text: the client's two messages byte for byte, the server's replies into
// records, the soft-PIN rule, and the limits on what fits into a message.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "common/OVException.h"
#include "enroll/DSKPPData.h"
#include "enroll/DSKPPXml.h"
#include "support/VectorFile.h"

namespace ov {
namespace {

using test::VectorRecord;

OptionalText Field(const VectorRecord& r, const std::string& key) {
  if (!r.Has(key)) return std::nullopt;
  return r.Text(key);
}

class ClientMessages : public ::testing::TestWithParam<VectorRecord> {};

TEST_P(ClientMessages, AreWrittenExactly) {
  const VectorRecord& r = GetParam();
  ASSERT_TRUE(r.Ok()) << r.Error();
  DSKPPXml xml;
  std::optional<SecureString> text;
  if (r.Text("Message") == "ClientHello") {
    DSKPPClientHelloData hello;
    hello.userId = Field(r, "UserId");
    hello.deviceType = Field(r, "DeviceType");
    hello.deviceVersion = Field(r, "DeviceVersion");
    if (r.Has("Capability")) hello.capability = static_cast<std::int32_t>(r.Int("Capability"));
    text = xml.FormatMsg("1.0", &hello);
  } else {
    DSKPPClientNonceData nonce;
    nonce.sessionId = Field(r, "SessionID");
    nonce.encryptedNonce = Field(r, "EncryptedNonce");
    nonce.clientId = Field(r, "ClientId");
    nonce.authData = Field(r, "AuthData");
    nonce.macAlgorithm = std::string(dskpp::kMacAlgorithm);
    nonce.iterationCount = 100000;
    if (r.Has("SoftPin")) nonce.softPin = SecureString(r.Text("SoftPin"));
    nonce.deviceName = Field(r, "DeviceName");
    nonce.collectDeviceName = r.Has("CollectDeviceName");
    text = xml.FormatMsg("1.0", &nonce);
  }
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(text->view(), r.Text("Expected"));
  // What is written must read back as XML: escaping keeps a hostile text from breaking it.
  EXPECT_EQ(DSKPPXml().XmlParse(text->view(), true), 1);
}

INSTANTIATE_TEST_SUITE_P(Fixed, ClientMessages,
                         ::testing::ValuesIn(test::LoadVectorFile("enroll/client_messages.vec")),
                         test::VectorRecordName);

TEST(DSKPPXmlFormat, RefusesWhatIsNotAClientMessage) {
  DSKPPXml xml;
  DSKPPClientHelloData hello;
  EXPECT_FALSE(xml.FormatMsg("", &hello).has_value());
  EXPECT_FALSE(xml.FormatMsg("1.0", nullptr).has_value());
  DSKPPServerHelloData reply;
  EXPECT_FALSE(xml.FormatMsg("1.0", &reply).has_value());
  DSKPPData untyped;
  try {
    xml.FormatMsg("1.0", &untyped);
    FAIL() << "a record without a type was formatted";
  } catch (const OVException& e) {
    EXPECT_EQ(e.GetErrorCode(), 6003);
  }
}

// Each value is taken to the last length that fits and one past it: every piece of a message has a
// fixed capacity, and a value too long for it is refused rather than written past its end.
struct Overflow {
  const char* name;
  std::size_t fits;  // the longest value that still fits
  void (*set)(DSKPPClientNonceData&, DSKPPClientHelloData&, const std::string&);
  bool hello;
};

void PrintTo(const Overflow& c, std::ostream* os) { *os << c.name; }

class FieldCapacity : public ::testing::TestWithParam<Overflow> {};

TEST_P(FieldCapacity, LongestValueFitsAndOneMoreIsRefused) {
  const Overflow& c = GetParam();
  for (const std::size_t length : {c.fits, c.fits + 1}) {
    DSKPPClientNonceData nonce;
    nonce.sessionId = "s";
    nonce.macAlgorithm = std::string(dskpp::kMacAlgorithm);
    DSKPPClientHelloData hello;
    c.set(nonce, hello, std::string(length, 'x'));
    DSKPPXml xml;
    const IDSKPPData* record = c.hello ? static_cast<const IDSKPPData*>(&hello) : &nonce;
    if (length == c.fits) {
      EXPECT_NO_THROW(xml.FormatMsg("1.0", record)) << length;
    } else {
      try {
        xml.FormatMsg("1.0", record);
        ADD_FAILURE() << "a value of " << length << " bytes was written";
      } catch (const OVException& e) {
        EXPECT_EQ(e.GetErrorCode(), 6003);
      }
    }
  }
}

// The lengths: 511 bytes of text (512 with the terminator) less the tags and attributes around the
// value in the piece that fills up first.
INSTANTIATE_TEST_SUITE_P(
    Pieces, FieldCapacity,
    ::testing::Values(Overflow{"soft_pin", 255,  // the whole "dskpp:Extensions" element holds 511
                               [](DSKPPClientNonceData& n, DSKPPClientHelloData&,
                                  const std::string& v) { n.softPin = SecureString(v); },
                               false},
                      Overflow{"session_id", 223,  // the root start tag holds 511
                               [](DSKPPClientNonceData& n, DSKPPClientHelloData&,
                                  const std::string& v) { n.sessionId = v; },
                               false},
                      Overflow{"encrypted_nonce", 466,  // its element holds 511
                               [](DSKPPClientNonceData& n, DSKPPClientHelloData&,
                                  const std::string& v) { n.encryptedNonce = v; },
                               false},
                      Overflow{"device_type", 470,  // its element holds 511
                               [](DSKPPClientNonceData&, DSKPPClientHelloData& h,
                                  const std::string& v) { h.deviceType = v; },
                               true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DSKPPXmlFormat, EscapedTextCountsAgainstTheCapacity) {
  // 100 "&" become 500 bytes: too many for the extension data even though 100 bytes would fit.
  DSKPPClientNonceData nonce;
  nonce.softPin = SecureString(std::string(100, '&'));
  EXPECT_THROW(DSKPPXml().FormatMsg("1.0", &nonce), OVException);
}

// ServerHello texts for the soft-PIN rule table.
std::string ServerHelloWithRule(const VectorRecord& r) {
  std::string rule;
  const std::pair<const char*, const char*> elements[] = {
      {"MinLen", "ovdskpp:minlen"}, {"MaxLen", "ovdskpp:maxlen"}, {"AlphaNum", "ovdskpp:alphanum"}};
  for (const auto& [key, element] : elements) {
    if (r.Has(key)) rule += std::string("<") + element + ">" + r.Text(key) + "</" + element + ">";
  }
  if (r.Has("CollectDeviceName")) {
    rule += "<ovdskpp:OVData Name='CollectDeviceName'>" + r.Text("CollectDeviceName") +
            "</ovdskpp:OVData>";
  }
  const std::string status = r.Has("Status") ? r.Text("Status") : "Continue";
  return "<dskpp:KeyProvServerHello Status='" + status +
         "' SessionID='s1' Version='1.0'><dskpp:KeyType>urn:ietf:params:xml:ns:keyprov:pskc:hotp"
         "</dskpp:KeyType><dskpp:Nonce>AAAA</dskpp:Nonce><dskpp:Extensions><dskpp:Extension>" +
         rule + "</dskpp:Extension></dskpp:Extensions></dskpp:KeyProvServerHello>";
}

class SoftPinRule : public ::testing::TestWithParam<VectorRecord> {};

TEST_P(SoftPinRule, FollowsTheLengthRule) {
  const VectorRecord& r = GetParam();
  ASSERT_TRUE(r.Ok()) << r.Error();
  DSKPPXml xml;
  const std::string text = ServerHelloWithRule(r);
  if (r.Has("Error")) {
    try {
      xml.ParseMsg("1.0", text);
      FAIL() << "rule accepted";
    } catch (const OVException& e) {
      EXPECT_EQ(e.GetErrorCode(), r.Int("Error"));
    }
    return;
  }
  const auto record = xml.ParseMsg("1.0", text);
  const auto* hello = dynamic_cast<const DSKPPServerHelloData*>(record.get());
  ASSERT_NE(hello, nullptr);
  EXPECT_EQ(hello->minSoftPinLength, r.Int("ExpectMin"));
  EXPECT_EQ(hello->maxSoftPinLength, r.Int("ExpectMax"));
  EXPECT_EQ(hello->alphanumericSoftPin, static_cast<std::uint32_t>(r.Int("ExpectAlphanumeric")));
  EXPECT_EQ(hello->collectDeviceName, r.Int("ExpectCollect") != 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SoftPinRule,
    ::testing::ValuesIn(test::LoadVectorFile("enroll/server_hello_pin_rule.vec")),
    test::VectorRecordName);

constexpr const char* kServerHello =
    "<dskpp:KeyProvServerHello Version='1.0' Status='Continue' SessionID='S-1&amp;2' "
    "xmlns:dskpp='urn:ietf:params:xml:ns:keyprov:dskpp' xmlns:ovdskpp='urn:kelsa-inc:ov:dskppext'>"
    "<dskpp:KeyType>urn:ietf:params:xml:ns:keyprov:pskc:hotp</dskpp:KeyType>"
    "<dskpp:EncryptionAlgorithm>http://www.w3.org/2001/04/xmlenc#rsa_1_5</"
    "dskpp:EncryptionAlgorithm>"
    "<dskpp:MacAlgorithm>urn:ietf:params:xml:ns:keyprov:dskpp:prf-sha256</dskpp:MacAlgorithm>"
    "<dskpp:EncryptionKey><ds:KeyName>\n  MIIB\n  IjAN\n</ds:KeyName></dskpp:EncryptionKey>"
    "<dskpp:KeyPackageFormat>urn:ietf:params:xml:ns:keyprov:dskpp:pskc-key-container"
    "</dskpp:KeyPackageFormat><dskpp:Payload><dskpp:Nonce>AAEC\r\nAwQF</dskpp:Nonce></"
    "dskpp:Payload>"
    "</dskpp:KeyProvServerHello>";

TEST(DSKPPXmlParse, ServerHelloValuesArriveWhole) {
  DSKPPXml xml;
  const auto record = xml.ParseMsg("1.0", kServerHello);
  const auto* hello = dynamic_cast<const DSKPPServerHelloData*>(record.get());
  ASSERT_NE(hello, nullptr);
  EXPECT_TRUE(hello->IsStatusOk());
  EXPECT_EQ(hello->sessionId, "S-1&2");
  EXPECT_EQ(hello->keyType, dskpp::kKeyType);
  EXPECT_EQ(hello->encryptionAlgorithm, dskpp::kEncryptionAlgorithm);
  EXPECT_EQ(hello->macAlgorithm, dskpp::kMacAlgorithm);
  EXPECT_EQ(hello->keyPackageFormat, dskpp::kKeyPackageFormat);
  // Line breaks split the text into pieces; all of them count.
  EXPECT_EQ(hello->keyName, "\n  MIIB\n  IjAN\n");
  EXPECT_EQ(hello->serverNonce, "AAEC\nAwQF");  // expat reads CR LF as LF
  EXPECT_EQ(hello->minSoftPinLength, 0);
  EXPECT_EQ(hello->maxSoftPinLength, 0);
}

constexpr const char* kServerFinished =
    "<dskpp:KeyProvServerFinished Status='Success' SessionID='S1' Version='1.0'>"
    "<pskc:DeviceInfo><pskc:Manufacturer>Kelsa, Inc.</pskc:Manufacturer>"
    "<pskc:SerialNo>SN&amp;42&lt;7&gt;</pskc:SerialNo></pskc:DeviceInfo>"
    "<pskc:Key Id='K1' Algorithm='urn:ietf:params:xml:ns:keyprov:pskc:hotp'>"
    "<pskc:KeyProfileId>policy &amp; more</pskc:KeyProfileId>"
    "<pskc:Policy><pskc:KeyUsage>OTP</pskc:KeyUsage></pskc:Policy></pskc:Key>"
    "<dskpp:Mac "
    "MacAlgorithm='urn:ietf:params:xml:ns:keyprov:dskpp:prf-sha256'>ab+/\ncd==</dskpp:Mac>"
    "</dskpp:KeyProvServerFinished>";

TEST(DSKPPXmlParse, ServerFinishedValuesArriveWhole) {
  DSKPPXml xml;
  const auto record = xml.ParseMsg("1.0", kServerFinished);
  const auto* finished = dynamic_cast<const DSKPPServerFinishedData*>(record.get());
  ASSERT_NE(finished, nullptr);
  EXPECT_TRUE(finished->IsStatusOk());
  EXPECT_EQ(finished->serialNumber, "SN&42<7>");
  EXPECT_EQ(finished->keyProfileId, "policy & more");
  EXPECT_EQ(finished->manufacturer, "Kelsa, Inc.");
  EXPECT_EQ(finished->keyId, "K1");
  EXPECT_EQ(finished->keyAlgorithm, dskpp::kKeyType);
  EXPECT_EQ(finished->keyUsage, "OTP");
  EXPECT_EQ(finished->mac, "ab+/\ncd==");
  EXPECT_EQ(finished->macAlgorithm, dskpp::kMacAlgorithm);
  ASSERT_NE(xml.GetParsedValue(dskpp_slot::kMacAlgorithm), nullptr);
  EXPECT_EQ(xml.GetParsedValue(32), nullptr);
  EXPECT_EQ(xml.GetParsedValue(-1), nullptr);
}

TEST(DSKPPXmlParse, EmptyElementStaysEmpty) {
  DSKPPXml xml;
  const auto record =
      xml.ParseMsg("1.0",
                   "<dskpp:KeyProvServerFinished Status='Success'><pskc:SerialNo></pskc:SerialNo>\n"
                   "<pskc:KeyProfileId>P</pskc:KeyProfileId></dskpp:KeyProvServerFinished>");
  const auto* finished = dynamic_cast<const DSKPPServerFinishedData*>(record.get());
  ASSERT_NE(finished, nullptr);
  EXPECT_EQ(finished->serialNumber, "");
  EXPECT_EQ(finished->keyProfileId, "P");
}

struct StatusCase {
  const char* name;
  const char* xml;
  const char* type;
  bool ok;
  std::optional<std::string> errorText;
};

void PrintTo(const StatusCase& c, std::ostream* os) { *os << c.name; }

class ReplyStatus : public ::testing::TestWithParam<StatusCase> {};

TEST_P(ReplyStatus, DecidesTypeStatusAndErrorText) {
  const StatusCase& c = GetParam();
  DSKPPXml xml;
  const auto record = xml.ParseMsg("1.0", c.xml);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->GetMessageType(), c.type);
  EXPECT_EQ(record->IsStatusOk(), c.ok);
  EXPECT_EQ(static_cast<const DSKPPData&>(*record).errorText, c.errorText);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReplyStatus,
    ::testing::Values(
        StatusCase{"abort_with_error_text",
                   "<dskpp:KeyProvServerFinished Status='Abort'><dskpp:Extensions><dskpp:Extension>"
                   "<ovdskpp:OVData Name='OVEnrollmentError'>Refused &amp; logged\nfor review"
                   "</ovdskpp:OVData></dskpp:Extension></dskpp:Extensions>"
                   "</dskpp:KeyProvServerFinished>",
                   "dskpp:KeyProvServerFinished", false, "Refused & logged\nfor review"},
        StatusCase{"expired", "<dskpp:KeyProvServerFinished Status='ProvisioningPeriodExpired'/>",
                   "dskpp:KeyProvServerFinished", false, "Enrollment expired"},
        StatusCase{"other_status", "<dskpp:KeyProvServerFinished Status='AccessDenied'/>",
                   "dskpp:KeyProvServerFinished", false, std::nullopt},
        StatusCase{"status_letter_case", "<dskpp:KeyProvServerHello Status='continue'/>",
                   "dskpp:KeyProvServerHello", false, std::nullopt},
        StatusCase{"no_status", "<dskpp:KeyProvServerHello SessionID='x'/>",
                   "dskpp:KeyProvServerHello", false, std::nullopt},
        // The type is chosen by the name appearing anywhere in the text, before parsing.
        StatusCase{"hello_name_inside_finished",
                   "<dskpp:KeyProvServerFinished Status='Success'><!-- dskpp:KeyProvServerHello -->"
                   "</dskpp:KeyProvServerFinished>",
                   "dskpp:KeyProvServerHello", false, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DSKPPXmlParse, RefusesWhatIsNotAReply) {
  DSKPPXml xml;
  EXPECT_EQ(xml.ParseMsg("1.0", ""), nullptr);
  EXPECT_EQ(xml.ParseMsg("", kServerHello), nullptr);
  EXPECT_EQ(xml.ParseMsg("1.0", "<dskpp:KeyProvClientHello/>"), nullptr);
  EXPECT_EQ(xml.ParseMsg("1.0", "<dskpp:KeyProvServerHello Status='Continue'>"), nullptr);
  EXPECT_EQ(xml.ParseMsg("1.0", "<dskpp:KeyProvServerFinished></dskpp:KeyProvServerHello>"),
            nullptr);
}

// No reply has a document type declaration; one that defines entities could make a small reply
// expand without bound, so any is refused.
TEST(DSKPPXmlParse, RefusesADocumentTypeDeclaration) {
  DSKPPXml xml;
  const std::string laughs =
      "<!DOCTYPE dskpp:KeyProvServerFinished [<!ENTITY a 'aaaaaaaaaa'>"
      "<!ENTITY b '&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;'>]>"
      "<dskpp:KeyProvServerFinished xmlns:dskpp='urn:ietf:params:xml:ns:keyprov:dskpp' "
      "xmlns:pskc='urn:ietf:params:xml:ns:keyprov:pskc' Status='Success'>"
      "<pskc:SerialNo>&b;</pskc:SerialNo></dskpp:KeyProvServerFinished>";
  EXPECT_EQ(xml.ParseMsg("1.0", laughs), nullptr);
  EXPECT_EQ(xml.XmlParse("<!DOCTYPE r><r/>", true), 0);
  EXPECT_EQ(xml.XmlParse("<r/>", true), 1) << "the reader is usable again";
}

TEST(DSKPPXmlParse, EachParseStartsFromAnEmptyTable) {
  DSKPPXml xml;
  ASSERT_NE(xml.ParseMsg("1.0", kServerHello), nullptr);
  ASSERT_NE(xml.GetParsedValue(dskpp_slot::kNonce), nullptr);
  const auto record = xml.ParseMsg("1.0", "<dskpp:KeyProvServerFinished Status='Success'/>");
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(xml.GetParsedValue(dskpp_slot::kNonce), nullptr);
  EXPECT_EQ(xml.GetParsedValue(dskpp_slot::kSessionId), nullptr);
}

}  // namespace
}  // namespace ov
