// XmlEventReader over expat, without namespace processing.
#include <expat.h>

#include <climits>

#include "common/OVException.h"
#include "enroll/XmlEventReader.h"
#include "ov/ov_api.h"

namespace ov {

namespace {

struct ParserFree {
  void operator()(XML_Parser parser) const noexcept { XML_ParserFree(parser); }
};

// The handlers are given the parser (XML_UseParserAsHandlerArg); the event handler is its user
// data.
XmlEventHandler& HandlerOf(void* parser) {
  return *static_cast<XmlEventHandler*>(XML_GetUserData(static_cast<XML_Parser>(parser)));
}

void XMLCALL OnStart(void* parser, const XML_Char* name, const XML_Char** attributes) {
  HandlerOf(parser).StartElement(name, attributes);
}

void XMLCALL OnEnd(void* parser, const XML_Char*) { HandlerOf(parser).EndElement(); }

void XMLCALL OnText(void* parser, const XML_Char* text, int length) {
  if (length > 0) HandlerOf(parser).Text({text, static_cast<std::size_t>(length)});
}

// A document type declaration ends the parse: nothing it declares is ever used.
void XMLCALL OnDoctype(void* parser, const XML_Char*, const XML_Char*, const XML_Char*, int) {
  XML_StopParser(static_cast<XML_Parser>(parser), XML_FALSE);
}

}  // namespace

struct XmlEventReader::Impl {
  std::unique_ptr<XML_ParserStruct, ParserFree> parser;
  bool used = false;
};

XmlEventReader::XmlEventReader() : m_impl(std::make_unique<Impl>()) {
  m_impl->parser.reset(XML_ParserCreate(nullptr));
  if (!m_impl->parser) throw OVException(OV_ERR_OPERATION_FAILED, "XML_ParserCreate failed");
}

XmlEventReader::~XmlEventReader() = default;

bool XmlEventReader::Read(std::string_view xml, XmlEventHandler& handler, std::string& error) {
  XML_Parser parser = m_impl->parser.get();
  if (xml.size() > INT_MAX) {
    error = "document too large";
    return false;
  }
  if (m_impl->used && XML_ParserReset(parser, nullptr) != XML_TRUE) {
    error = "XML_ParserReset failed";
    return false;
  }
  m_impl->used = true;
  XML_SetUserData(parser, &handler);
  XML_UseParserAsHandlerArg(parser);
  XML_SetElementHandler(parser, &OnStart, &OnEnd);
  XML_SetCharacterDataHandler(parser, &OnText);
  XML_SetStartDoctypeDeclHandler(parser, &OnDoctype);
  if (XML_Parse(parser, xml.data(), static_cast<int>(xml.size()), XML_TRUE) != XML_STATUS_OK) {
    const XML_Error code = XML_GetErrorCode(parser);
    error = code == XML_ERROR_ABORTED ? "document type declaration" : XML_ErrorString(code);
    return false;
  }
  return true;
}

}  // namespace ov
