// Whether a text is well-formed XML as a strict parser reads it. TinyXML,
// which the rules read manifests with, passes over an element left open, an
// entity it does not know and more; a reader that follows XML to the letter
// refuses the file.
#pragma once

#include <cstddef>
#include <string>

namespace nv {

// The first fault a strict parser finds: its words and the offset of the
// byte it stopped at.
struct XmlFault {
  std::string reason;
  size_t offset = 0;
};

// True when the text is well-formed, else false with the first fault.
bool IsWellFormedXml(const std::string& text, XmlFault* fault);

}  // namespace nv
