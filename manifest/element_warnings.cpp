// Warnings about the manifest's elements and values: those the rules pass
// over, text among them, a namespace the manifest does not know, integers
// read otherwise than written, and themes of one name.
#include <tinyxml.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <map>

#include "manifest/warning_run.h"

namespace nv {

namespace {

// What "%d" skips before a number: isspace() in the C locale.
bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// An integer as the rule reads it with "%d": white space, a sign and
// digits, the rest of the value left unread.
struct IntegerReading {
  bool read = false;     // digits were found: the rule takes the value
  bool plain = false;    // nothing but white space follows them
  bool padded = false;   // white space stands before or after them
  bool inRange = false;  // they fit an int
  long long number = 0;  // what they say, when in range
};

IntegerReading ReadInteger(const std::string& value) {
  IntegerReading reading;
  size_t i = 0;
  while (i < value.size() && IsSpace(value[i])) ++i;
  reading.padded = i > 0;
  const bool negative = i < value.size() && value[i] == '-';
  if (i < value.size() && (value[i] == '+' || value[i] == '-')) ++i;
  const size_t digits = i;
  const long long limit = std::numeric_limits<int>::max() + (negative ? 1LL : 0LL);
  long long number = 0;
  for (; i < value.size() && IsDigit(value[i]); ++i)
    number = std::min(limit + 1, number * 10 + (value[i] - '0'));
  reading.read = i > digits;
  const size_t end = i;
  while (i < value.size() && IsSpace(value[i])) ++i;
  reading.padded = reading.padded || i > end;
  reading.plain = i == value.size();
  reading.inRange = number <= limit;
  reading.number = negative ? -number : number;
  return reading;
}

// "did you mean" as a note, when a known name is near enough, and the fix
// it offers an editor.
struct Suggestion {
  std::vector<std::string> notes;
  NameFix fix;
};

Suggestion Suggest(const std::string& name, const std::vector<std::string>& known) {
  const std::string nearest = NearestName(name, known);
  if (nearest.empty()) return {};
  return {{"did you mean '" + nearest + "'?"}, {name, nearest}};
}

class ElementChecker {
 public:
  explicit ElementChecker(WarningRun* run) : m_run(run) {}

  void CheckDocument(const TiXmlDocument& manifest);

 private:
  void CheckChildren(const TiXmlElement& parent);
  void CheckText(const TiXmlText& text, const TiXmlElement& parent);
  void CheckNamespace(const TiXmlElement& element, const std::string& uri);
  const ElementKind* ReadKind(const TiXmlElement& element, const char* parent);
  void CheckAttributes(const TiXmlElement& element, const ElementKind& kind);
  void CheckValue(const TiXmlElement& element, const AttributeKind& attribute,
                  const std::string& value);
  void CheckInteger(const TiXmlElement& element, const AttributeKind& attribute,
                    const std::string& value);
  void CheckThemeName(const TiXmlElement& theme, const std::string& name);

  WarningRun* m_run;
  std::map<std::string, const TiXmlElement*> m_themes;  // the first theme of each name
};

// The rules read the root alone at the top of the document.
void ElementChecker::CheckDocument(const TiXmlDocument& manifest) {
  const TiXmlElement* root = manifest.FirstChildElement();
  if (!root || std::strcmp(root->Value(), "nuvarinepackage") != 0) return;
  CheckAttributes(*root, *FindElementKind(root->Value()));
  CheckChildren(*root);
  for (const TiXmlElement* other = root->NextSiblingElement(); other;
       other = other->NextSiblingElement())
    ReadKind(*other, nullptr);
}

// Only what the rules read is looked into: whatever an element they pass
// over holds is passed over with it, and one warning says so.
void ElementChecker::CheckChildren(const TiXmlElement& parent) {
  for (const TiXmlNode* node = parent.FirstChild(); node; node = node->NextSibling()) {
    if (const TiXmlText* text = node->ToText()) CheckText(*text, parent);
    const TiXmlElement* child = node->ToElement();
    if (!child) continue;
    const ElementKind* kind = ReadKind(*child, parent.Value());
    if (!kind) continue;
    CheckAttributes(*child, *kind);
    CheckChildren(*child);
  }
}

// Every element the rules read holds elements alone, or nothing: a text
// among them is read by no one. The parser keeps no text of white space
// alone, which lays the elements out; a CDATA section it keeps whole.
void ElementChecker::CheckText(const TiXmlText& text, const TiXmlElement& parent) {
  const std::string where = " in '" + std::string(parent.Value()) + "': it is passed over";
  m_run->Warn("stray-text", text,
              (text.CDATA() ? "a CDATA section" : "text " + Quote(text.ValueStr())) + where,
              {"'" + std::string(parent.Value()) +
               "' holds elements alone, and the media application reads no text in it; delete "
               "it, or make it a comment: <!-- ... -->"});
}

// The element's kind when the rules read it where it stands, in `parent`
// (null: after the root); else null, with a warning.
const ElementKind* ElementChecker::ReadKind(const TiXmlElement& element, const char* parent) {
  const std::string name = element.Value();
  const ElementKind* kind = FindElementKind(name);
  if (kind && parent && kind->parent && std::strcmp(kind->parent, parent) == 0) return kind;
  // A theme the rules pass over is lost, which lost-content tells.
  if (FoldCase(name) == "theme") return nullptr;
  if (!kind) {
    Suggestion near = Suggest(name, ElementKindNames());
    m_run->Warn("unknown-element", element,
                "unknown element " + Quote(name) + ": it is passed over, with all it holds",
                std::move(near.notes), {}, std::move(near.fix));
    return nullptr;
  }
  const std::string where =
      parent ? "in '" + std::string(parent) + "'" : "after the document's first element";
  m_run->Warn("misplaced-element", element, Quote(name) + " is not read " + where,
              {"it belongs " + std::string(kind->place)});
  return nullptr;
}

// Namespace declarations and the schema instance's attributes
// (xsi:noNamespaceSchemaLocation) are how an editor is told the manifest's
// schema: they are known everywhere.
bool IsSchemaAttribute(const std::string& name) {
  return name == "xmlns" || name.rfind("xmlns:", 0) == 0 || name.rfind("xsi:", 0) == 0;
}

void ElementChecker::CheckAttributes(const TiXmlElement& element, const ElementKind& kind) {
  for (const TiXmlAttribute* attribute = element.FirstAttribute(); attribute;
       attribute = attribute->Next()) {
    const std::string name = attribute->Name();
    if (name == "xmlns" && !attribute->ValueStr().empty())
      CheckNamespace(element, attribute->ValueStr());
    if (IsSchemaAttribute(name)) continue;
    if (const AttributeKind* known = FindAttributeKind(kind, name)) {
      CheckValue(element, *known, attribute->ValueStr());
      continue;
    }
    std::vector<std::string> knownNames;
    for (const AttributeKind& a : kind.attributes) knownNames.push_back(a.name);
    Suggestion near = Suggest(name, knownNames);
    m_run->Warn("unknown-attribute", m_run->positions.NameOf(element, name),
                "unknown attribute " + Quote(name) + " of '" + kind.name + "': it is passed over",
                std::move(near.notes), {}, std::move(near.fix));
  }
}

// The manifest's elements are in no namespace; "xmlns" puts an element and
// all it holds in one (an empty "xmlns" takes them out again).
void ElementChecker::CheckNamespace(const TiXmlElement& element, const std::string& uri) {
  m_run->Warn("foreign-namespace", element,
              Quote(element.Value()) + " is in the namespace " + Quote(uri) + ", with all it holds",
              {"the builder reads names as written, but a reader that heeds namespaces (the "
               "media application may be one) finds none of the manifest's elements there; "
               "delete the xmlns attribute"});
}

void ElementChecker::CheckValue(const TiXmlElement& element, const AttributeKind& attribute,
                                const std::string& value) {
  switch (attribute.value) {
    case ValueKind::kText:
      break;
    case ValueKind::kThemeName:
      CheckThemeName(element, value);
      break;
    case ValueKind::kImage:
    case ValueKind::kLayout:
      CheckFileReference(element, attribute.name, value, attribute.value, m_run);
      break;
    case ValueKind::kOffset:
    case ValueKind::kSize:
      CheckInteger(element, attribute, value);
      break;
  }
}

// A value the rule refuses is the log's; one it takes may still not say
// what it is read as.
void ElementChecker::CheckInteger(const TiXmlElement& element, const AttributeKind& attribute,
                                  const std::string& value) {
  const IntegerReading reading = ReadInteger(value);
  if (!reading.read) return;
  // Looked for in the tag only for a warning: most values are sound.
  const auto at = [&] { return m_run->positions.ValueOf(element, attribute.name); };
  const std::string said = std::string("'") + attribute.name + "' is " + Quote(value);
  if (!reading.inRange) {
    m_run->Warn("loose-integer", at(), said + ", beyond the range of an integer",
                {"no reader can take it as written; write a number from -2147483648 to "
                 "2147483647"});
  } else if (!reading.plain) {
    m_run->Warn("loose-integer", at(),
                said + ", which the rule reads as " + std::to_string(reading.number),
                {"the rule reads the leading number and passes over the rest, where a strict "
                 "reader refuses the value; write a whole number alone"});
  } else if (reading.padded) {
    m_run->Warn("loose-integer", at(), said + ", with blanks around the number",
                {"the rule passes over them, where a strict reader refuses the value; write "
                 "the number alone"});
  } else if (attribute.value == ValueKind::kSize && reading.number <= 0) {
    m_run->Warn("loose-integer", at(), said + ": a width or height must be 1 or more",
                {"the rule takes it, but nothing of that size can be shown"});
  }
}

void ElementChecker::CheckThemeName(const TiXmlElement& theme, const std::string& name) {
  const auto first = m_themes.emplace(name, &theme);
  if (first.second) return;
  m_run->Warn("duplicate-theme-name", theme, "another theme is named " + Quote(name),
              {"give each theme a name of its own"},
              {{m_run->manifest, m_run->positions.Of(*first.first->second),
                "the first theme named " + Quote(name)}});
}

}  // namespace

void CheckElements(const TiXmlDocument& manifest, WarningRun* run) {
  ElementChecker(run).CheckDocument(manifest);
}

}  // namespace nv
