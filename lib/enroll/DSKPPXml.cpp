#include "enroll/DSKPPXml.h"

#include <cctype>
#include <climits>
#include <initializer_list>
#include <string>

#include "common/LogFacade.h"
#include "common/OVException.h"
#include "encoding/Hex.h"
#include "enroll/XmlEventReader.h"
#include "ov/ov_api.h"

namespace ov {

namespace {

// Capacities of the pieces of a message, terminator included.
constexpr std::size_t kMessageCapacity = 2048;
constexpr std::size_t kPieceCapacity = 512;
constexpr std::size_t kEndTagCapacity = 64;
constexpr std::size_t kAuthenticationDataCapacity = 768;
constexpr std::size_t kDeviceIdentifierCapacity = 1024;

// Parser states besides the slot numbers 10..31, which wait for the text of their element.
constexpr int kStateIdle = 0;
constexpr int kStateExtensions = 100;
constexpr int kStateExtension = 101;
constexpr int kStateOtherData = 102;
constexpr int kStateKey = 103;

using Text = SecureString;

// Refuses a piece that would not fit its buffer.
Text Bounded(Text piece, std::size_t capacity, const char* name) {
  if (piece.size() + 1 > capacity) {
    LogScope log("DSKPPXml::Format");
    log.Text("piece", name);
    log.Message("Value too long for its field");
    throw OVException(OV_ERR_OPERATION_FAILED, std::string(name) + ": value too long");
  }
  return piece;
}

void AppendEscaped(Text& out, std::string_view value) {
  for (const char c : value) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '\'':
        out += "&apos;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
}

// name='value'; nothing for a missing value.
Text FormatAttribute(std::string_view name, const std::optional<std::string_view>& value) {
  Text out;
  if (!value) return out;
  out += name;
  out += "='";
  AppendEscaped(out, *value);
  out += '\'';
  return out;
}

std::optional<std::string_view> View(const OptionalText& text) {
  if (!text) return std::nullopt;
  return std::string_view(*text);
}

Text FormatHeaderAttributes(const DSKPPData& header) {
  Text out;
  const std::pair<std::string_view, std::optional<std::string_view>> attributes[] = {
      {"xmlns:pskc", View(header.pskcNamespace)},      {"xmlns:dskpp", View(header.dskppNamespace)},
      {"xmlns:xenc", View(header.xencNamespace)},      {"xmlns:ds", View(header.dsNamespace)},
      {"xmlns:ovdskpp", View(header.vendorNamespace)}, {"Version", View(header.version)}};
  for (const auto& [name, value] : attributes) {
    const Text attribute = FormatAttribute(name, value);
    if (attribute.empty()) continue;
    if (!out.empty()) out += ' ';
    out += attribute;
  }
  return Bounded(std::move(out), kPieceCapacity, "FormatHeaderAttributes");
}

Text FormatHeader(std::string_view name, std::string_view attributes) {
  Text out("<");
  out += name;
  if (!attributes.empty()) {
    out += ' ';
    out += attributes;
  }
  out += '>';
  return Bounded(std::move(out), kPieceCapacity, "FormatHeader");
}

Text FormatFooter(std::string_view name) {
  Text out("</");
  out += name;
  out += '>';
  return Bounded(std::move(out), kEndTagCapacity, "FormatFooter");
}

Text SetNodeValue(std::string_view name, const std::optional<std::string_view>& value,
                  std::string_view attributes = {}) {
  Text out = FormatHeader(name, attributes);
  if (value) AppendEscaped(out, *value);
  out += FormatFooter(name);
  return Bounded(std::move(out), kPieceCapacity, "SetNodeValue");
}

Text SetChildrenValues(std::string_view parent, std::string_view child,
                       std::initializer_list<std::string_view> values) {
  Text out = FormatHeader(parent, {});
  for (const auto value : values) out += SetNodeValue(child, value);
  out += FormatFooter(parent);
  return Bounded(std::move(out), kPieceCapacity, "SetChildrenValues");
}

Text SetChildrenTags(std::string_view parent, std::initializer_list<std::string_view> tags) {
  Text out = FormatHeader(parent, {});
  for (const auto tag : tags) {
    out += '<';
    out += tag;
    out += "/>";
  }
  out += FormatFooter(parent);
  return Bounded(std::move(out), kPieceCapacity, "SetChildrenTags");
}

std::string HexOf(std::string_view text) {
  return HexEncode(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

Text FormatDeviceIdentifierData(const DSKPPClientHelloData& record) {
  Text info = FormatHeader("ovdskpp:OVInfo", {});
  if (record.userId)
    info += SetNodeValue("ovdskpp:userID", std::string_view(HexOf(*record.userId)));
  info += SetNodeValue("ovdskpp:Capability", std::string_view(std::to_string(record.capability)));
  info += SetNodeValue("ovdskpp:DeviceType", View(record.deviceType));
  info += SetNodeValue("ovdskpp:DeviceVersion", View(record.deviceVersion));
  info += FormatFooter("ovdskpp:OVInfo");
  Text out = FormatHeader("dskpp:DeviceIdentifierData", {});
  out += info;
  out += FormatFooter("dskpp:DeviceIdentifierData");
  return Bounded(std::move(out), kDeviceIdentifierCapacity, "FormatDeviceIdentifierData");
}

Text FormatMac(const DSKPPClientNonceData& record) {
  const Text attribute = FormatAttribute("MacAlgorithm", View(record.macAlgorithm));
  return Bounded(SetNodeValue("dskpp:Mac", View(record.authData), attribute), kPieceCapacity,
                 "FormatMac");
}

Text FormatAuthenticationCodeMac(const DSKPPClientNonceData& record) {
  Text out = FormatHeader("dskpp:AuthenticationCodeMac", {});
  out +=
      SetNodeValue("dskpp:IterationCount", std::string_view(std::to_string(record.iterationCount)));
  out += FormatMac(record);
  out += FormatFooter("dskpp:AuthenticationCodeMac");
  return Bounded(std::move(out), kPieceCapacity, "FormatAuthenticationCodeMac");
}

Text FormatAuthenticationData(const DSKPPClientNonceData& record) {
  Text out = FormatHeader("dskpp:AuthenticationData", {});
  if (record.clientId)
    out += SetNodeValue("dskpp:ClientID", std::string_view(HexOf(*record.clientId)));
  out += FormatAuthenticationCodeMac(record);
  out += FormatFooter("dskpp:AuthenticationData");
  return Bounded(std::move(out), kAuthenticationDataCapacity, "FormatAuthenticationData");
}

Text FormatExtensionData(const DSKPPClientNonceData& record) {
  std::optional<std::string_view> softPin;
  if (record.softPin) softPin = record.softPin->view();
  Text out = SetNodeValue("ovdskpp:OVData", softPin, "Name='softPIN'");
  if (record.collectDeviceName) {
    out += SetNodeValue("ovdskpp:OVData", View(record.deviceName), "Name='DeviceName'");
  }
  return Bounded(std::move(out), kPieceCapacity, "FormatExtensionData");
}

Text FormatExtensions(const DSKPPClientNonceData& record) {
  Text attributes = FormatAttribute("xmlns:ovdskpp", View(record.vendorNamespace));
  const Text xsi = FormatAttribute("xmlns:xsi", View(record.xsiNamespace));
  if (!attributes.empty() && !xsi.empty()) attributes += ' ';
  attributes += xsi;
  Text out = FormatHeader("dskpp:Extensions", attributes);
  out += FormatHeader("dskpp:Extension",
                      FormatAttribute("xsi:type", View(record.vendorExtensionType)));
  out += FormatExtensionData(record);
  out += FormatFooter("dskpp:Extension");
  out += FormatFooter("dskpp:Extensions");
  return Bounded(std::move(out), kPieceCapacity, "FormatExtensions");
}

// The leading decimal number of a text in the manner of atol (blanks, a sign, digits; no digits
// give 0), held to the 32-bit range instead of overflowing.
std::int32_t DecimalValue(const std::string* text) {
  if (text == nullptr) return 0;
  std::size_t i = 0;
  while (i < text->size() && std::isspace(static_cast<unsigned char>((*text)[i]))) ++i;
  bool negative = false;
  if (i < text->size() && ((*text)[i] == '+' || (*text)[i] == '-')) negative = (*text)[i++] == '-';
  long long value = 0;
  for (; i < text->size() && std::isdigit(static_cast<unsigned char>((*text)[i])); ++i) {
    value = value * 10 + ((*text)[i] - '0');
    if (value > INT_MAX) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<std::int32_t>(value);
}

bool ContainsTrue(const std::string* text) {
  if (text == nullptr) return false;
  std::string lower(*text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower.find("true") != std::string::npos;
}

OptionalText Copy(const std::string* text) {
  if (text == nullptr) return std::nullopt;
  return *text;
}

// The slot of an element whose text the parser gathers, or 0.
int TextSlotOf(std::string_view name) {
  static constexpr std::pair<std::string_view, int> kElements[] = {
      {"dskpp:KeyType", 10},          {"dskpp:EncryptionAlgorithm", 11},
      {"dskpp:MacAlgorithm", 12},     {"ds:KeyName", 13},
      {"dskpp:KeyPackageFormat", 14}, {"dskpp:Nonce", 15},
      {"ovdskpp:alphanum", 16},       {"ovdskpp:maxlen", 17},
      {"ovdskpp:minlen", 18},         {"pskc:SerialNo", 21},
      {"pskc:Manufacturer", 22},      {"pskc:KeyProfileId", 23},
      {"pskc:KeyUsage", 24},          {"dskpp:Mac", 27},
      {"ovdskpp:userID", 28},         {"ovdskpp:DeviceType", 29},
      {"ovdskpp:Capability", 30},     {"ovdskpp:DeviceVersion", 31}};
  for (const auto& [element, slot] : kElements) {
    if (element == name) return slot;
  }
  return 0;
}

bool IsTextState(int state) { return state >= 10 && state <= 31; }
// DeviceType, Capability and DeviceVersion are recognised but never kept.
bool IsStoredState(int state) { return (state >= 10 && state <= 24) || state == 27 || state == 28; }

}  // namespace

struct DSKPPXml::Parser final : XmlEventHandler {
  XmlEventReader reader;
  std::array<std::optional<std::string>, kParsedValueCount>* values = nullptr;
  int state = kStateIdle;
  int depth = 0;
  int captureDepth = -1;  // depth of the element whose text is being gathered; -1 for none
  std::string text;

  void Store(int slot, const char* value) {
    if (slot > 0 && slot < kParsedValueCount && value != nullptr) (*values)[slot] = value;
  }

  // Walks the attribute list (name, value, name, value, ...) up to a position limit and stores
  // the values of the recognised names.
  void StoreAttributes(const char** attributes, int positionLimit,
                       std::initializer_list<std::pair<std::string_view, int>> names) {
    for (int i = 0; i < positionLimit && attributes[i] != nullptr; i += 2) {
      for (const auto& [name, slot] : names) {
        if (name == attributes[i]) Store(slot, attributes[i + 1]);
      }
    }
  }

  void AttributeStep(std::string_view element, const char** attributes) {
    const bool hasFirst = attributes[0] != nullptr;
    if (element == dskpp::kServerHello || element == dskpp::kServerFinished) {
      StoreAttributes(attributes, 15,
                      {{"Status", dskpp_slot::kStatus},
                       {"SessionID", dskpp_slot::kSessionId},
                       {"xmlns:pskc", dskpp_slot::kXmlnsPskc},
                       {"xmlns:dskpp", dskpp_slot::kXmlnsDskpp},
                       {"xmlns:xenc", dskpp_slot::kXmlnsXenc},
                       {"xmlns:ds", dskpp_slot::kXmlnsDs},
                       {"xmlns:ovdskpp", dskpp_slot::kXmlnsVendor}});
    } else if (element == "pskc:Key") {
      StoreAttributes(attributes, 3,
                      {{"Id", dskpp_slot::kKeyId}, {"Algorithm", dskpp_slot::kKeyAlgorithm}});
    } else if (element == "dskpp:Extensions") {
      StoreAttributes(attributes, 3, {{"xmlns:xsi", dskpp_slot::kXmlnsXsi}});
    } else if (element == "dskpp:Mac") {
      if (hasFirst && std::string_view(attributes[0]) == "MacAlgorithm") {
        Store(dskpp_slot::kMacAlgorithm, attributes[1]);
      }
    } else if (element == "dskpp:Extension") {
      if (hasFirst && std::string_view(attributes[0]) == "xsi:type") {
        Store(dskpp_slot::kXsiType, attributes[1]);
      }
    } else if (element == "ovdskpp:OVData") {
      if (hasFirst && std::string_view(attributes[0]) == "Name") {
        const std::string_view name = attributes[1];
        if (name == "CollectDeviceName") state = dskpp_slot::kCollectDeviceName;
        if (name == "OVEnrollmentError") state = dskpp_slot::kEnrollmentError;
      }
    }
  }

  void StartElement(const char* name, const char** attributes) override {
    Parser& self = *this;
    ++self.depth;
    const std::string_view element = name;
    bool attributeStep = true;
    if (element == dskpp::kClientHello) {
      self.state = 1;
    } else if (element == dskpp::kServerHello) {
      self.state = 2;
    } else if (element == dskpp::kClientNonce) {
      self.state = 3;
    } else if (element == dskpp::kServerFinished) {
      self.state = 4;
    } else if (element == "dskpp:Extensions") {
      self.state = kStateExtensions;
    } else if (element == "dskpp:Extension") {
      self.state = kStateExtension;
    } else if (element == "ovdskpp:OVData") {
      self.state = kStateOtherData;
    } else if (element == "pskc:Key") {
      self.state = kStateKey;
    } else if (const int slot = TextSlotOf(element); slot != 0) {
      self.state = slot;
      attributeStep = element == "dskpp:Mac";
    } else {
      attributeStep = false;  // not recognised: the state stays as it was
    }
    if (attributeStep) self.AttributeStep(element, attributes);
    if (IsTextState(self.state) && self.captureDepth != self.depth) {
      self.captureDepth = self.depth;
      self.text.clear();
    }
  }

  void EndElement() override {
    Parser& self = *this;
    if (self.captureDepth == self.depth) {
      if (IsStoredState(self.state)) (*self.values)[self.state] = self.text;
      self.state = kStateIdle;
      self.captureDepth = -1;
      self.text.clear();
    }
    --self.depth;
  }

  void Text(std::string_view piece) override {
    if (captureDepth >= 0) text.append(piece);
  }
};

DSKPPXml::DSKPPXml() {
  LogScope log("DSKPPXml::DSKPPXml");
  try {
    m_parser = std::make_unique<Parser>();
  } catch (const OVException&) {
    log.Message("Error: no XML reader");
    throw;
  }
  m_parser->values = &m_values;
}

DSKPPXml::~DSKPPXml() = default;

const std::string* DSKPPXml::GetParsedValue(int index) const {
  if (index < 0 || index >= kParsedValueCount || !m_values[static_cast<std::size_t>(index)]) {
    return nullptr;
  }
  return &*m_values[static_cast<std::size_t>(index)];
}

void DSKPPXml::ClearParsedValues() {
  for (auto& value : m_values) value.reset();
}

int DSKPPXml::XmlParse(std::string_view xml, bool final) {
  LogScope log("DSKPPXml::XmlParse");
  // Replies are read whole: a document cut short is not well-formed whatever `final` says.
  static_cast<void>(final);
  Parser& p = *m_parser;
  p.state = kStateIdle;
  p.depth = 0;
  p.captureDepth = -1;
  p.text.clear();
  std::string error;
  if (!p.reader.Read(xml, p, error)) {
    log.Text("error", error);
    return log.Return(0);
  }
  return log.Return(1);
}

std::unique_ptr<DSKPPServerHelloData> DSKPPXml::ParseServerHelloMsg(std::string_view xml) {
  LogScope log("DSKPPXml::ParseServerHelloMsg");
  ClearParsedValues();
  if (XmlParse(xml, true) == 0) return nullptr;
  auto record = std::make_unique<DSKPPServerHelloData>();
  record->version = Copy(GetParsedValue(0));
  record->status = Copy(GetParsedValue(dskpp_slot::kStatus));
  record->sessionId = Copy(GetParsedValue(dskpp_slot::kSessionId));
  if (!record->IsStatusOk()) return record;

  record->keyType = Copy(GetParsedValue(dskpp_slot::kKeyType));
  record->encryptionAlgorithm = Copy(GetParsedValue(dskpp_slot::kEncryptionAlgorithm));
  record->macAlgorithm = Copy(GetParsedValue(dskpp_slot::kMacAlgorithm));
  record->keyPackageFormat = Copy(GetParsedValue(dskpp_slot::kKeyPackageFormat));
  record->keyName = Copy(GetParsedValue(dskpp_slot::kKeyName));
  record->serverNonce = Copy(GetParsedValue(dskpp_slot::kNonce));
  record->alphanumericSoftPin = ContainsTrue(GetParsedValue(dskpp_slot::kAlphanumeric)) ? 1 : 0;
  record->collectDeviceName = ContainsTrue(GetParsedValue(dskpp_slot::kCollectDeviceName));
  std::int32_t maximum = DecimalValue(GetParsedValue(dskpp_slot::kMaxLength));
  const std::int32_t minimum = DecimalValue(GetParsedValue(dskpp_slot::kMinLength));
  log.Number("minlen", minimum);
  log.Number("maxlen", maximum);
  if (minimum != 0 || maximum != 0) {
    // The cap comes first, so a minimum above 16 raises the maximum past it.
    if (maximum > dskpp::kSoftPinMaxLength) maximum = dskpp::kSoftPinMaxLength;
    if (maximum < minimum) maximum = minimum;
    if (minimum < dskpp::kSoftPinMinLength) {
      log.Message("Server side PIN mix less than SERVER_SIDE_PIN_MIN_LEN");
      throw OVException(OV_ERR_OPERATION_FAILED,
                        "Server side PIN mix less than SERVER_SIDE_PIN_MIN_LEN");
    }
  }
  record->minSoftPinLength = minimum;
  record->maxSoftPinLength = maximum;
  return record;
}

std::unique_ptr<DSKPPServerFinishedData> DSKPPXml::ParseServerFinishedMsg(std::string_view xml) {
  LogScope log("DSKPPXml::ParseServerFinishedMsg");
  ClearParsedValues();
  if (XmlParse(xml, true) == 0) return nullptr;
  auto record = std::make_unique<DSKPPServerFinishedData>();
  record->version = Copy(GetParsedValue(0));
  record->status = Copy(GetParsedValue(dskpp_slot::kStatus));
  record->sessionId = Copy(GetParsedValue(dskpp_slot::kSessionId));
  if (record->status == dskpp::kStatusSuccess) {
    record->serialNumber = Copy(GetParsedValue(dskpp_slot::kSerialNo));
    record->manufacturer = Copy(GetParsedValue(dskpp_slot::kManufacturer));
    record->keyId = Copy(GetParsedValue(dskpp_slot::kKeyId));
    record->keyAlgorithm = Copy(GetParsedValue(dskpp_slot::kKeyAlgorithm));
    record->keyProfileId = Copy(GetParsedValue(dskpp_slot::kKeyProfileId));
    record->keyUsage = Copy(GetParsedValue(dskpp_slot::kKeyUsage));
    record->mac = Copy(GetParsedValue(dskpp_slot::kMac));
    record->macAlgorithm = Copy(GetParsedValue(dskpp_slot::kMacAlgorithm));
  } else if (record->status == dskpp::kStatusAbort) {
    record->errorText = Copy(GetParsedValue(dskpp_slot::kEnrollmentError));
  } else if (record->status == dskpp::kStatusExpired) {
    record->errorText = std::string(dskpp::kExpiredText);
  }
  return record;
}

std::unique_ptr<IDSKPPData> DSKPPXml::ParseMsg(std::string_view version, std::string_view xml) {
  LogScope log("DSKPPXml::ParseMsg");
  if (version.empty() || xml.empty()) return nullptr;
  if (xml.find(dskpp::kServerHello) != std::string_view::npos) return ParseServerHelloMsg(xml);
  if (xml.find(dskpp::kServerFinished) != std::string_view::npos) {
    return ParseServerFinishedMsg(xml);
  }
  log.Message("Unrecognised message");
  return nullptr;
}

std::optional<SecureString> DSKPPXml::FormatMsg(std::string_view version,
                                                const IDSKPPData* record) {
  LogScope log("DSKPPXml::FormatMsg");
  if (version.empty() || record == nullptr) return std::nullopt;
  if (record->GetMessageType().empty()) {
    log.Message("Message type is missing");
    throw OVException(OV_ERR_OPERATION_FAILED, "Message type is missing");
  }
  // The root carries the record's own version; the argument only has to be present.
  if (const auto* hello = dynamic_cast<const DSKPPClientHelloData*>(record)) {
    return FormatClientHelloMsg(*hello);
  }
  if (const auto* nonce = dynamic_cast<const DSKPPClientNonceData*>(record)) {
    return FormatClientNonceMsg(*nonce);
  }
  log.Message("Not a client message");
  return std::nullopt;
}

SecureString DSKPPXml::FormatClientHelloMsg(const DSKPPClientHelloData& record) const {
  Text out = FormatHeader(dskpp::kClientHello, FormatHeaderAttributes(record));
  out += FormatDeviceIdentifierData(record);
  out += SetChildrenValues("dskpp:SupportedKeyTypes", "dskpp:Algorithm", {record.keyType});
  out += SetChildrenValues("dskpp:SupportedEncryptionAlgorithms", "dskpp:Algorithm",
                           {record.encryptionAlgorithm});
  out +=
      SetChildrenValues("dskpp:SupportedMacAlgorithms", "dskpp:Algorithm", {record.macAlgorithm});
  out += SetChildrenTags("dskpp:SupportedProtocolVariants", {record.protocolVariant});
  out += SetChildrenValues("dskpp:SupportedKeyPackages", "dskpp:KeyPackageFormat",
                           {record.keyPackageFormat});
  out += FormatFooter(dskpp::kClientHello);
  return Bounded(std::move(out), kMessageCapacity, "FormatClientHelloMsg");
}

SecureString DSKPPXml::FormatClientNonceMsg(const DSKPPClientNonceData& record) const {
  Text attributes = FormatHeaderAttributes(record);
  if (record.sessionId) {
    attributes += ' ';
    attributes += FormatAttribute("SessionID", View(record.sessionId));
  }
  Text out = FormatHeader(dskpp::kClientNonce, attributes);
  out += SetNodeValue("dskpp:EncryptedNonce", View(record.encryptedNonce));
  out += FormatAuthenticationData(record);
  out += FormatExtensions(record);
  out += FormatFooter(dskpp::kClientNonce);
  return Bounded(std::move(out), kMessageCapacity, "FormatClientNonceMsg");
}

}  // namespace ov
