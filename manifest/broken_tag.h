// The start tag the builder's parser stopped in, and why, in an author's
// words. TinyXML keeps the element with the attributes it read before the
// fault and drops the rest, so the rules call attributes missing that are
// written on the line: the fault is the cause, those errors its echo.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "manifest/diagnostic.h"
#include "xml/text_position.h"

class TiXmlDocument;
class TiXmlElement;

namespace nv {

struct BrokenTag {
  const TiXmlElement* element = nullptr;  // as far as the parser made it
  TextPosition at;                        // the fault
  TextPosition end;                       // the tag's end as a person reads it
  std::string cause;                      // "attribute 'name' is given twice"
  std::vector<std::string> notes;         // what to do
  std::vector<LocatedNote> related;       // where else, the file left to the caller
  // The attributes written in the tag from the fault on, which the parser
  // never read.
  std::set<std::string> unread;
};

// True when the parser stopped inside the start tag of the last element it
// made, with that tag.
bool FindBrokenTag(const std::string& text, const TiXmlDocument& manifest,
                   const ElementPositions& positions, BrokenTag* broken);

// Whether an error that the element lacks the `absent` attributes is the
// echo of the broken tag: each of them is written in it, past the fault.
bool EchoesBrokenTag(const BrokenTag& broken, const TiXmlElement& element,
                     const std::vector<std::string>& absent);

// Whether the warning is the strict parser's about the broken tag, whose
// fault is told as an error where it echoes: told twice, it would read as
// two faults.
bool RestatesBrokenTag(const BrokenTag& broken, const Diagnostic& warning);

}  // namespace nv
