// The notes of the validation's error lines, made from the element a line is
// about, the folder's files and what the theme's walk met.
#include "manifest/error_notes.h"

#include <tinyxml.h>
#include <utf8proc.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "manifest/manifest_elements.h"
#include "manifest/warning_run.h"
#include "run/packed_files.h"

namespace nv {

namespace {

// A file name a letter or two off is a typo; further off, another file.
constexpr size_t kFileNameDistance = 2;

// The attributes a line names: "name or screenshot", "name, screenshot" or one.
std::vector<std::string> Names(const std::string& list) {
  std::vector<std::string> names;
  size_t start = 0;
  while (true) {
    size_t comma = list.find(", ", start), either = list.find(" or ", start);
    size_t end = std::min(comma, either);
    names.push_back(list.substr(start, end - start));
    if (end == std::string::npos) return names;
    start = end + (end == comma ? 2 : 4);
  }
}

std::string Quoted(const char* name) { return std::string("'") + name + "'"; }

// The element's attributes that its kind does not know: a misspelt name is
// among them, where a known one is the author's own.
std::vector<std::string> UnknownAttributes(const TiXmlElement& element) {
  const ElementKind* kind = FindElementKind(element.Value());
  std::vector<std::string> names;
  for (const TiXmlAttribute* a = element.FirstAttribute(); a; a = a->Next())
    if (!kind || !FindAttributeKind(*kind, a->Name())) names.push_back(a->Name());
  return names;
}

// The first "did you mean" of a line's notes is the one an editor offers.
void Offer(NameFix* fix, const std::string& written, const std::string& meant) {
  if (fix && fix->meant.empty()) *fix = {written, meant};
}

// "did you mean", about an attribute present under a near name.
std::string NearAttribute(const TiXmlElement& element, const std::string& name, NameFix* fix) {
  const std::string near = NearestName(name, UnknownAttributes(element));
  if (near.empty()) return "";
  Offer(fix, near, name);
  return Quote(near) + " is there: did you mean '" + name + "'?";
}

std::string WhatToAdd(const TiXmlElement& element, const std::string& name) {
  const ElementKind* kind = FindElementKind(element.Value());
  const AttributeKind* attribute = kind ? FindAttributeKind(*kind, name) : nullptr;
  const std::string add = "add '" + name + "'";
  switch (attribute ? attribute->value : ValueKind::kText) {
    case ValueKind::kThemeName:
      return add + ", the theme's name, of 2 bytes or more";
    case ValueKind::kImage:
      return add + ", naming an image in the folder";
    case ValueKind::kLayout:
      return add + ", naming a layout file in the folder";
    case ValueKind::kOffset:
    case ValueKind::kSize:
      return add + " with a whole number";
    case ValueKind::kText:
      break;
  }
  return add + ": the rules take any value";
}

// Either separator, whatever the system: a name written on Windows
// ("img\\shot.png", "C:\\themes\\ocean\\shot.png") names a folder part everywhere.
bool HasFolderPart(const std::string& name) {
  return name.find_first_of("/\\") != std::string::npos;
}

std::string LastStep(const std::string& name) {
  size_t separator = name.find_last_of("/\\");
  return separator == std::string::npos ? name : name.substr(separator + 1);
}

// The name in one of Unicode's normal forms, or as it is when it is no
// UTF-8: macOS and some editors write an accent as a character of its own
// after its letter (NFD), where the file's name holds the accented letter
// (NFC), or the reverse.
std::string Normalized(const std::string& name,
                       utf8proc_uint8_t* (*form)(const utf8proc_uint8_t*)) {
  std::unique_ptr<utf8proc_uint8_t, decltype(&std::free)> normal(
      form(reinterpret_cast<const utf8proc_uint8_t*>(name.c_str())), &std::free);
  return normal ? reinterpret_cast<const char*>(normal.get()) : name;
}

std::string Composed(const std::string& name) { return Normalized(name, utf8proc_NFC); }

std::string FormOf(const std::string& name) {
  if (Composed(name) == name) return "composed, NFC";
  if (Normalized(name, utf8proc_NFD) == name) return "decomposed, NFD";
  return "partly composed";
}

// A child element a letter or two off the one the theme lacks.
std::string NearChild(const TiXmlElement& theme, const char* wanted, const ErrorNotes& notes,
                      NameFix* fix) {
  std::vector<std::string> names;
  std::vector<const TiXmlElement*> children;
  for (const TiXmlElement* child = theme.FirstChildElement(); child;
       child = child->NextSiblingElement()) {
    names.push_back(child->Value());
    children.push_back(child);
  }
  const std::string near = NearestName(wanted, names);
  if (near.empty()) return "";
  const size_t at = std::find(names.begin(), names.end(), near) - names.begin();
  Offer(fix, near, wanted);
  return "it has " + Quote(near) + " at " + notes.Place(*children[at]) + ": did you mean " +
         Quoted(wanted) + "?";
}

}  // namespace

std::vector<std::string> AbsentAttributes(const RuleFault& fault) {
  std::vector<std::string> absent;
  const bool missing = fault.kind == ManifestErrorKind::AttributesNotFound;
  // "name, screenshot" are there but short; a single integer may be absent.
  const bool integer = fault.kind == ManifestErrorKind::AttributesInvalid &&
                       fault.first.find(", ") == std::string::npos;
  if (!missing && !integer) return absent;
  for (const std::string& name : Names(fault.first))
    if (!fault.element->Attribute(name.c_str())) absent.push_back(name);
  return absent;
}

ErrorNotes::ErrorNotes(const RunContext& run, const std::string& folder,
                       const ElementPositions* positions, const BrokenTag* broken)
    : m_run(run), m_folder(folder), m_positions(positions), m_broken(broken) {}

ErrorNotes::~ErrorNotes() = default;

TextPosition ErrorNotes::PlaceOf(const TiXmlElement& element, const std::string& valueOf) const {
  if (!m_positions)
    return {static_cast<size_t>(std::max(1, element.Row())),
            static_cast<size_t>(std::max(1, element.Column()))};
  return valueOf.empty() ? m_positions->Of(element) : m_positions->ValueOf(element, valueOf);
}

std::string ErrorNotes::Place(const TiXmlElement& element) const {
  const TextPosition at = PlaceOf(element);
  return std::to_string(at.line) + ":" + std::to_string(at.column);
}

std::vector<std::string> ErrorNotes::Of(const RuleFault& fault, NameFix* fix) {
  const TiXmlElement& element = *fault.element;
  const std::vector<std::string> names = Names(fault.first);
  switch (fault.kind) {
    case ManifestErrorKind::FileMissing:
      return OfMissingFile(fault.first, fault.second, fix);
    case ManifestErrorKind::NoChildNodes:
      return {"it needs a 'templates' holding a 'detail', and a 'virtualshelf'"};
    case ManifestErrorKind::AttributesNotFound:
      return OfMissingAttributes(element, names, fix);
    case ManifestErrorKind::AttributesInvalid:
      return names.size() > 1 ? OfShortValues(element, names)
                              : OfInteger(element, fault.first, fix);
  }
  return {};
}

std::vector<std::string> ErrorNotes::OfMissingAttributes(const TiXmlElement& element,
                                                         const std::vector<std::string>& names,
                                                         NameFix* fix) {
  std::vector<std::string> notes, present, absent;
  for (const std::string& name : names)
    (element.Attribute(name.c_str()) ? present : absent).push_back(name);
  // One line names two attributes, where only one may be missing.
  if (names.size() == 2) {
    notes.push_back(present.empty() ? "it has neither '" + absent[0] + "' nor '" + absent[1] + "'"
                                    : "it has '" + present[0] + "' but no '" + absent[0] + "'");
  }
  for (const std::string& name : absent) {
    const std::string near = NearAttribute(element, name, fix);
    notes.push_back(near.empty() ? WhatToAdd(element, name) : near);
  }
  return notes;
}

std::vector<std::string> ErrorNotes::OfShortValues(const TiXmlElement& element,
                                                   const std::vector<std::string>& names) {
  std::vector<std::string> notes;
  for (const std::string& name : names) {
    const char* value = element.Attribute(name.c_str());
    const size_t length = value ? std::strlen(value) : 0;
    if (!value || length >= 2) continue;
    notes.push_back(length == 0 ? "'" + name + "' is empty"
                                : "'" + name + "' is " + Quote(value) + ", 1 byte long");
  }
  notes.push_back("a theme's 'name' and 'screenshot' need 2 bytes or more each");
  return notes;
}

// "%d" reads white space, a sign and digits; a value it cannot start on is
// refused, and so is an attribute that is not there.
std::vector<std::string> ErrorNotes::OfInteger(const TiXmlElement& element, const std::string& name,
                                               NameFix* fix) {
  const char* value = element.Attribute(name.c_str());
  if (!value) {
    const std::string near = NearAttribute(element, name, fix);
    return {"'" + name + "' is missing, not invalid",
            near.empty() ? WhatToAdd(element, name) : near};
  }
  if (!*value) return {"'" + name + "' is empty: write a whole number"};
  return {"'" + name + "' is " + Quote(value) +
          ", which does not begin with a number: write a "
          "whole number"};
}

const std::vector<std::string>& ErrorNotes::FolderNames() {
  if (!m_names) {
    m_names = std::make_unique<std::vector<std::string>>();
    std::string err;
    m_run.fs.ListFolder(m_folder, m_names.get(), &err);
    m_names->erase(std::remove_if(m_names->begin(), m_names->end(),
                                  [](const std::string& n) { return n == "." || n == ".."; }),
                   m_names->end());
  }
  return *m_names;
}

// A file of the folder that the name may have meant: the same in another
// letter case, else the nearest by a letter or two.
std::string ErrorNotes::NearFile(const std::string& name) {
  const std::vector<std::string>& names = FolderNames();
  std::string near;
  for (const std::string& candidate : names)
    if (FoldCase(candidate) == FoldCase(name) && candidate != name) near = candidate;
  for (const std::string& candidate : names)
    if (near.empty() && candidate != name && Composed(candidate) == Composed(name))
      near = candidate;
  if (near.empty()) near = NearestName(name, names, kFileNameDistance);
  if (near.empty() || !FileExistsInFolder(m_run.fs, m_folder, near, m_run.outsideLinks)) return "";
  return near;
}

std::vector<std::string> ErrorNotes::OfMissingFile(const std::string& name,
                                                   const std::string& attribute, NameFix* fix) {
  if (name.empty()) return {"'" + attribute + "' is empty: name a file in the folder"};
  const std::string path = JoinPath(m_folder, name);
  std::string why, target;
  if (m_run.fs.PathExists(path, &why)) {
    if (m_run.fs.IsReadableFile(path, &why))
      return {Quote(name) + " leads outside the folder, and this run takes no file that does"};
    if (why.empty()) return {Quote(name) + " is a folder, not a file"};
    return {Quote(name) + " cannot be read: " + why};
  }
  std::vector<std::string> notes;
  std::string meant = name;
  if (HasFolderPart(name)) {
    notes.push_back(Quote(name) +
                    " has a folder part, and the package holds only the files directly in the "
                    "folder");
    meant = LastStep(name);
    if (FileExistsInFolder(m_run.fs, m_folder, meant, m_run.outsideLinks)) {
      Offer(fix, name, meant);
      notes.push_back("did you mean '" + meant + "'? it is in the folder");
      return notes;
    }
    std::string slashed = name;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    if (m_run.fs.IsReadableFile(JoinPath(m_folder, slashed), &why)) {
      notes.push_back("the folder holds it as " + Quote(slashed) +
                      ", in a subfolder: move it into the folder and name it '" + meant + "'");
      return notes;
    }
  }
  const std::string near = NearFile(meant);
  if (!near.empty()) Offer(fix, name, near);
  if (near.empty())
    notes.push_back(
        "the folder holds no file of that name, nor of a near one: add it, or name "
        "one that is there");
  else if (Composed(near) == Composed(meant))
    notes.push_back("the folder holds " + Quote(near) +
                    ", the same letters in another Unicode form (the file's name is " +
                    FormOf(near) + ", this one " + FormOf(meant) +
                    "): write the name as the file's is written");
  else if (FoldCase(near) == FoldCase(meant))
    notes.push_back("the folder holds " + Quote(near) +
                    ": letter case counts, so write the name as it is");
  else
    notes.push_back("did you mean " + Quote(near) + "? it is in the folder");
  return notes;
}

bool ErrorNotes::Echoes(const RuleFault& fault) const {
  return m_broken && EchoesBrokenTag(*m_broken, *fault.element, AbsentAttributes(fault));
}

// A fault in a few words, with its place.
std::string ErrorNotes::Describe(const RuleFault& fault) const {
  const TiXmlElement& element = *fault.element;
  const std::string which = "the " + Quoted(element.Value()) + " at " + Place(element);
  if (Echoes(fault))
    return which + " is cut short at " + std::to_string(m_broken->at.line) + ":" +
           std::to_string(m_broken->at.column) + ", where " + m_broken->cause;
  switch (fault.kind) {
    case ManifestErrorKind::FileMissing:
      return which + " names " + Quote(fault.first) + " in '" + fault.second +
             "', which doesn't exist or can't be read";
    case ManifestErrorKind::NoChildNodes:
      return which + " holds nothing";
    case ManifestErrorKind::AttributesNotFound:
    case ManifestErrorKind::AttributesInvalid: {
      const char* value = element.Attribute(fault.first.c_str());
      if (!value) return which + " has no '" + fault.first + "'";
      if (!*value) return which + " has an empty '" + fault.first + "'";
      return which + " gives '" + fault.first + "' as " + Quote(value) + ", which is no number";
    }
  }
  return which;
}

// The rule needs a sound detail and a shelf with a background that exists,
// and no fault of a shelf or catalog: each need the theme missed is a note.
// Where the parser stopped in the last theme it read, all the theme holds
// after that point is missing; a broken tag tells its own cause.
std::string ErrorNotes::StoppedInside(const TiXmlElement& theme) const {
  const TiXmlDocument* document = theme.GetDocument();
  if (m_broken || !document || !document->Error() || theme.NextSiblingElement()) return "";
  const std::string at = document->ErrorRow() > 0 ? " at " + std::to_string(document->ErrorRow()) +
                                                        ":" + std::to_string(document->ErrorCol())
                                                  : "";
  return "the builder's parser stopped inside it" + at + " (" + document->ErrorDesc() +
         ") and read none of it after that: mend the XML there, as the malformed-xml warning "
         "says";
}

namespace {

// A shelf without a background both lacks what the theme needs and fails it
// outright: one cause, told once, as the one that fails it.
bool SameFault(const RuleFault& fault, const std::optional<RuleFault>& other) {
  return other && other->element == fault.element && other->kind == fault.kind &&
         other->first == fault.first;
}

}  // namespace

std::vector<std::string> ErrorNotes::OfInvalidTheme(const TiXmlElement& theme,
                                                    const ThemeWalkFacts& facts, bool detailFound,
                                                    bool backgroundFound, NameFix* fix) {
  std::vector<std::string> notes;
  auto add = [&](const std::string& note) {
    if (!note.empty()) notes.push_back(note);
  };
  const std::string detail = "a 'detail' with a 'mode' and a 'file' that exists";
  add(StoppedInside(theme));
  if (!detailFound && !facts.templatesMet) {
    add("it has no 'templates': it needs one holding " + detail);
    add(NearChild(theme, "templates", *this, fix));
  } else if (!detailFound && !facts.detailMet) {
    add("its 'templates' hold no 'detail': it needs " + detail);
  } else if (!detailFound && facts.detailFault) {
    add("it needs " + detail + "; " + Describe(*facts.detailFault));
  }
  if (!backgroundFound && !facts.shelfMet) {
    add("it has no 'virtualshelf': it needs one whose 'background' exists");
    add(NearChild(theme, "virtualshelf", *this, fix));
  } else if (!backgroundFound && facts.backgroundFault &&
             !SameFault(*facts.backgroundFault, facts.clearingFault)) {
    add("it needs a 'virtualshelf' whose 'background' exists; " + Describe(*facts.backgroundFault));
  }
  if (facts.clearingFault) {
    add(Describe(*facts.clearingFault) +
        ": a fault of a 'virtualshelf' or 'catalog' fails the theme, whatever else it holds");
    const size_t more = facts.clearingFaults - 1 - facts.echoesAfterFirst;
    if (more > 0)
      add(std::to_string(more) + " more such fault" + (more > 1 ? "s fail" : " fails") + " it too");
  }
  return notes;
}

}  // namespace nv
