// XmlEventReader: a server reply as a stream of events (an element starts with its attributes,
// text, an element ends), from the platform's XML reader: expat on Linux, XmlLite on Windows.
// Names are reported as written, prefix included ("dskpp:Mac"), and namespace declarations as
// the attributes they are ("xmlns:pskc"); all text is UTF-8. A document type declaration is
// refused, so no entity can be defined, let alone expanded.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace ov {

class XmlEventHandler {
 public:
  virtual ~XmlEventHandler() = default;
  // `attributes`: name, value, name, value, ..., then a null pointer; in document order.
  virtual void StartElement(const char* name, const char** attributes) = 0;
  virtual void EndElement() = 0;
  // A piece of character data; an element's text may come in several pieces.
  virtual void Text(std::string_view text) = 0;
};

class XmlEventReader {
 public:
  // Throws OVException 6003 when the platform's reader cannot be had.
  XmlEventReader();
  ~XmlEventReader();
  XmlEventReader(const XmlEventReader&) = delete;
  XmlEventReader& operator=(const XmlEventReader&) = delete;

  // Reads one document, calling `handler` as it goes; false, with `error` set, when the text is
  // not well-formed (events up to the fault have been delivered). The reader can be used again.
  bool Read(std::string_view xml, XmlEventHandler& handler, std::string& error);

 private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};

}  // namespace ov
