// Warnings about themes written in main.xml that the builder never reads:
// those past the point where its parser stopped.
#include <tinyxml.h>

#include <vector>

#include "manifest/warning_run.h"

namespace nv {

namespace {

// Where comments and CDATA sections lie, which hold no tag.
bool InsideQuoted(const std::string& text, size_t at) {
  for (const auto& [open, close] :
       {std::make_pair("<!--", "-->"), std::make_pair("<![CDATA[", "]]>")}) {
    const size_t start = text.rfind(open, at);
    if (start != std::string::npos) {
      const size_t end = text.find(close, start);
      if (end == std::string::npos || end > at) return true;
    }
  }
  return false;
}

// The offsets of every "<theme" tag of the text, read as tolerantly as a
// person reads it: wherever a parser would have stopped.
std::vector<size_t> ThemeTags(const std::string& text) {
  std::vector<size_t> tags;
  for (size_t at = text.find("<theme"); at != std::string::npos; at = text.find("<theme", at + 1)) {
    const char next = at + 6 < text.size() ? text[at + 6] : '>';
    if ((next == '>' || next == '/' || next == ' ' || next == '\t' || next == '\n' ||
         next == '\r') &&
        !InsideQuoted(text, at))
      tags.push_back(at);
  }
  return tags;
}

// The name="..." of the tag at `at`, or empty.
std::string NameInTag(const std::string& text, size_t at) {
  const size_t end = text.find('>', at);
  const std::string tag = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
  for (const char* start : {"name=\"", "name='"}) {
    const size_t value = tag.find(start);
    if (value == std::string::npos) continue;
    const size_t close = tag.find(start[5], value + 6);
    if (close != std::string::npos) return tag.substr(value + 6, close - value - 6);
  }
  return "";
}

void AddThemesUnder(const TiXmlNode& element, const ElementPositions& positions,
                    std::vector<TextPosition>* read) {
  for (const TiXmlElement* child = element.FirstChildElement(); child;
       child = child->NextSiblingElement()) {
    if (std::string(child->Value()) == "theme") read->push_back(positions.Of(*child));
    AddThemesUnder(*child, positions, read);
  }
}

std::string WhereReadingEnds(const TiXmlDocument& manifest) {
  if (manifest.Error())
    return "the builder's parser stopped at " + std::to_string(manifest.ErrorRow()) + ":" +
           std::to_string(manifest.ErrorCol()) + ": " + manifest.ErrorDesc();
  return "the builder's parser stopped before it";
}

}  // namespace

// A theme the parser made an element of is the other warnings' to judge
// where it stands (misplaced-element); this one is for those it never made.
// The parser's depth limit bounds the recursion.
void CheckLostThemes(const std::string& text, const TiXmlDocument& manifest, WarningRun* run) {
  std::vector<TextPosition> read;
  AddThemesUnder(manifest, run->positions, &read);
  const TextLines lines(text);
  for (size_t tag : ThemeTags(text)) {
    const TextPosition at = lines.At(tag);
    bool seen = false;
    for (const TextPosition& p : read) seen |= p.line == at.line && p.column == at.column;
    if (seen) continue;
    const std::string name = NameInTag(text, tag);
    run->Warn("lost-content", at,
              (name.empty() ? std::string("a theme") : "the theme " + Quote(name)) +
                  " is written here, but the builder never reads it",
              {WhereReadingEnds(manifest),
               "the log counts and checks only the themes it reads, and the media application "
               "may not show this one; mend the XML before it"});
  }
}

}  // namespace nv
