// Whether a text is well-formed XML as a strict parser reads it. TinyXML,
// which the rules read manifests with, passes over an element left open, an
// entity it does not know and more; a reader that follows XML to the letter
// refuses the file.
#pragma once

#include <cstddef>
#include <string>

#include "xml/text_position.h"

namespace nv {

// The first fault a strict parser finds: its words, the offset of the byte
// it stopped at (of an entity's "&", where the fault is one), and where an
// editor shows that byte: a column of bytes in UTF-8 or 8-bit text, of
// characters in UTF-16.
struct XmlFault {
  std::string reason;
  size_t offset = 0;
  TextPosition at;
};

// True when the text is well-formed, else false with the first fault. The
// text is the file's bytes as they are: a byte order mark or the XML
// declaration names its encoding, UTF-16 included.
bool IsWellFormedXml(const std::string& text, XmlFault* fault);

}  // namespace nv
