// Warnings about themes written in main.xml that the builder never reads:
// those past the point where its parser stopped, and those it made elements
// of where the rules read no theme.
#include <tinyxml.h>

#include <algorithm>
#include <vector>

#include "manifest/broken_tag.h"
#include "manifest/warning_run.h"

namespace nv {

namespace {

// Where comments and CDATA sections lie, which hold no tag. One never
// closed swallows all after it, which its author never meant: what it
// swallows is lost.
bool InsideQuoted(const std::string& text, size_t at) {
  for (const auto& [open, close] :
       {std::make_pair("<!--", "-->"), std::make_pair("<![CDATA[", "]]>")}) {
    const size_t start = text.rfind(open, at);
    if (start != std::string::npos) {
      const size_t end = text.find(close, start);
      if (end != std::string::npos && end > at) return true;
    }
  }
  return false;
}

// The offsets of every "<theme" tag of the text, in any letter case, read
// as tolerantly as a person reads it: wherever a parser would have stopped.
std::vector<size_t> ThemeTags(const std::string& text) {
  const std::string folded = FoldCase(text);  // ASCII alone: each byte stays where it is
  std::vector<size_t> tags;
  for (size_t at = folded.find("<theme"); at != std::string::npos;
       at = folded.find("<theme", at + 1)) {
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

// Every element the parser made whose name is "theme" in any letter case.
void AddThemesUnder(const TiXmlNode& node, std::vector<const TiXmlElement*>* themes) {
  for (const TiXmlElement* child = node.FirstChildElement(); child;
       child = child->NextSiblingElement()) {
    if (FoldCase(child->Value()) == "theme") themes->push_back(child);
    AddThemesUnder(*child, themes);
  }
}

// As the rules find themes: those directly in the document's first element.
bool IsRead(const TiXmlElement& theme, const TiXmlDocument& manifest) {
  return std::string(theme.Value()) == "theme" && theme.Parent() == manifest.FirstChildElement();
}

// Where the builder's reading ended: at its place where that is known, in
// an author's words where a broken tag stopped it, else in the parser's.
void WhereReadingEnds(const std::string& text, const TiXmlDocument& manifest, WarningRun* run,
                      std::vector<std::string>* notes, std::vector<LocatedNote>* related) {
  BrokenTag broken;
  if (FindBrokenTag(text, manifest, run->positions, &broken)) {
    related->push_back(
        {run->manifest, broken.at, "the builder's parser stopped here, where " + broken.cause});
  } else if (manifest.Error() && manifest.ErrorRow() > 0) {
    const TextPosition at{static_cast<size_t>(manifest.ErrorRow()),
                          static_cast<size_t>(std::max(1, manifest.ErrorCol()))};
    related->push_back({run->manifest, at,
                        "the builder's parser stopped here: " + std::string(manifest.ErrorDesc())});
  } else if (manifest.Error()) {
    // The parser gives no place for some faults (a comment never closed).
    notes->push_back("the builder's parser stopped before it: " +
                     std::string(manifest.ErrorDesc()));
  } else {
    notes->push_back("the builder's parser stopped before it");
  }
}

// Why the rules pass over a theme the parser made, and what to write.
std::string WhyNotRead(const TiXmlElement& theme, const TiXmlDocument& manifest) {
  const TiXmlElement* root = manifest.FirstChildElement();
  const std::string rootName = root ? root->Value() : "nuvarinepackage";
  if (std::string(theme.Value()) != "theme")
    return Quote(theme.Value()) + " is not 'theme': element names are read in their letter case";
  if (theme.Parent() == &manifest)
    return "the builder reads only the document's first element, '" + rootName +
           "': move the theme into it";
  return "the builder reads a theme only directly in '" + rootName + "', not in '" +
         theme.Parent()->Value() + "': move it there";
}

}  // namespace

// The parser's depth limit bounds the recursion.
void CheckLostThemes(const std::string& text, const TiXmlDocument& manifest, WarningRun* run) {
  std::vector<const TiXmlElement*> made;
  AddThemesUnder(manifest, &made);
  const TextLines lines(text);
  for (size_t tag : ThemeTags(text)) {
    const TextPosition at = lines.At(tag);
    const TiXmlElement* theme = nullptr;
    for (const TiXmlElement* m : made)
      if (run->positions.Of(*m) == at) theme = m;
    if (theme && IsRead(*theme, manifest)) continue;
    const std::string name = NameInTag(text, tag);
    std::vector<std::string> notes;
    std::vector<LocatedNote> related;
    if (theme)
      notes.push_back(WhyNotRead(*theme, manifest));
    else
      WhereReadingEnds(text, manifest, run, &notes, &related);
    notes.push_back(
        "the log counts and checks only the themes it reads, and the media application may not "
        "show this one" +
        std::string(theme ? "" : "; mend the XML before it"));
    run->Warn("lost-content", at,
              (name.empty() ? std::string("a theme") : "the theme " + Quote(name)) +
                  " is written here, but the builder never reads it",
              std::move(notes), std::move(related));
  }
}

}  // namespace nv
