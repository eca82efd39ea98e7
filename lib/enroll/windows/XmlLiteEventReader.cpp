// XmlEventReader over XmlLite. The system has xmllite.dll but mingw-w64 no import library for it,
// so CreateXmlReader is found at run time, once per process. XmlLite always checks namespaces: a
// prefix that is used must be declared, as a server's replies do. Document type declarations are
// prohibited (the reader's own default, set again here).
#include <windows.h>
#include <initguid.h>
#include <objidl.h>
#include <shlwapi.h>
#include <xmllite.h>

#include <climits>
#include <cstdio>
#include <vector>

#include "common/OVException.h"
#include "common/WideText.h"
#include "enroll/XmlEventReader.h"
#include "ov/ov_api.h"

namespace ov {

namespace {

using CreateXmlReaderFn = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);

CreateXmlReaderFn LoadCreateXmlReader() {
  static const CreateXmlReaderFn create = [] {
    HMODULE module = LoadLibraryExA("xmllite.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module == nullptr) return CreateXmlReaderFn{};
    return reinterpret_cast<CreateXmlReaderFn>(
        reinterpret_cast<void*>(GetProcAddress(module, "CreateXmlReader")));
  }();
  return create;
}

template <class Interface>
struct ComPtr {
  Interface* p = nullptr;
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() {
    if (p != nullptr) p->Release();
  }
};

std::string Utf8(const wchar_t* text, UINT length) {
  if (text == nullptr) return {};
  SecureString out;
  AppendUtf8(std::wstring_view(text, length), out);
  return std::string(out.view());
}

std::string Describe(HRESULT result, IXmlReader* reader) {
  UINT line = 0;
  UINT column = 0;
  reader->GetLineNumber(&line);
  reader->GetLinePosition(&column);
  char text[96];
  std::snprintf(text, sizeof text, "XmlLite error 0x%08lX at line %u, column %u",
                static_cast<unsigned long>(result), line, column);
  return text;
}

bool ReportElement(IXmlReader* reader, XmlEventHandler& handler) {
  const wchar_t* name = nullptr;
  UINT nameLength = 0;
  if (FAILED(reader->GetQualifiedName(&name, &nameLength))) return false;
  const std::string element = Utf8(name, nameLength);
  // Asked before moving to the attributes, which changes what the reader stands on.
  const bool empty = reader->IsEmptyElement() != FALSE;
  std::vector<std::string> texts;
  for (HRESULT at = reader->MoveToFirstAttribute(); at == S_OK; at = reader->MoveToNextAttribute()) {
    const wchar_t* value = nullptr;
    UINT valueLength = 0;
    if (FAILED(reader->GetQualifiedName(&name, &nameLength)) ||
        FAILED(reader->GetValue(&value, &valueLength))) {
      return false;
    }
    texts.push_back(Utf8(name, nameLength));
    texts.push_back(Utf8(value, valueLength));
  }
  std::vector<const char*> attributes;
  for (const std::string& text : texts) attributes.push_back(text.c_str());
  attributes.push_back(nullptr);
  handler.StartElement(element.c_str(), attributes.data());
  if (empty) handler.EndElement();
  return true;
}

}  // namespace

struct XmlEventReader::Impl {
  CreateXmlReaderFn create = nullptr;
};

XmlEventReader::XmlEventReader() : m_impl(std::make_unique<Impl>()) {
  m_impl->create = LoadCreateXmlReader();
  if (m_impl->create == nullptr) {
    throw OVException(OV_ERR_OPERATION_FAILED, "CreateXmlReader not found in xmllite.dll");
  }
}

XmlEventReader::~XmlEventReader() = default;

bool XmlEventReader::Read(std::string_view xml, XmlEventHandler& handler, std::string& error) {
  if (xml.size() > UINT_MAX) {
    error = "document too large";
    return false;
  }
  ComPtr<IXmlReader> reader;
  ComPtr<IStream> stream;
  stream.p = SHCreateMemStream(reinterpret_cast<const BYTE*>(xml.data()),
                               static_cast<UINT>(xml.size()));
  if (stream.p == nullptr ||
      FAILED(m_impl->create(IID_IXmlReader, reinterpret_cast<void**>(&reader.p), nullptr)) ||
      FAILED(reader.p->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit)) ||
      FAILED(reader.p->SetInput(stream.p))) {
    error = "the XML reader cannot be set up";
    return false;
  }
  XmlNodeType type = XmlNodeType_None;
  HRESULT result = S_OK;
  while ((result = reader.p->Read(&type)) == S_OK) {
    switch (type) {
      case XmlNodeType_Element:
        if (!ReportElement(reader.p, handler)) {
          error = "an element cannot be read";
          return false;
        }
        break;
      case XmlNodeType_EndElement:
        handler.EndElement();
        break;
      case XmlNodeType_Text:
      case XmlNodeType_CDATA:
      case XmlNodeType_Whitespace: {
        const wchar_t* value = nullptr;
        UINT length = 0;
        if (SUCCEEDED(reader.p->GetValue(&value, &length)) && length > 0) {
          handler.Text(Utf8(value, length));
        }
        break;
      }
      default:
        break;  // declarations, comments, processing instructions
    }
  }
  if (result != S_FALSE) {
    error = Describe(result, reader.p);
    return false;
  }
  return true;
}

}  // namespace ov
