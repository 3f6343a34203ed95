// The language server's answers about a place in a manifest: what may be
// typed there, what the reference says of it, the file a value names, the
// themes' outline, and the "did you mean" fixes as edits. A layout gets
// none of them: its elements are the media application's, not the table's.
#include "cli/lsp_features.h"

#include <algorithm>
#include <map>
#include <memory>
#include <set>

#include "cli/folder_report.h"
#include "cli/manifest_cursor.h"
#include "image/image_check.h"
#include "manifest/manifest_elements.h"
#include "package/package_temporaries.h"
#include "package/package_writer.h"
#include "run/packed_files.h"

namespace nv {

namespace {

using json = nlohmann::json;

// The protocol's numbers for the kinds an editor draws.
enum ItemKind { kClassItem = 7, kPropertyItem = 10, kFileItem = 17 };
enum SymbolKind {
  kFileSymbol = 1,
  kNamespaceSymbol = 3,
  kClassSymbol = 5,
  kFieldSymbol = 8,
  kStructSymbol = 23
};

bool IsManifest(const OpenDocument& document) {
  const size_t separator = document.path.find_last_of("/\\");
  return document.path.substr(separator == std::string::npos ? 0 : separator + 1) == "main.xml";
}

// Text of the document, or of the folder, as JSON can carry it: a byte
// that is no sound UTF-8 shows as the replacement character.
std::string Shown(const std::string& text) {
  if (IsUtf8(text)) return text;
  std::string shown;
  for (size_t at = 0; at < text.size();) {
    const size_t length = Utf8SequenceAt(text, at);
    shown += length ? text.substr(at, length) : "\xEF\xBF\xBD";
    at += std::max<size_t>(length, 1);
  }
  return shown;
}

json PositionJson(LspPosition at) { return {{"line", at.line}, {"character", at.character}}; }

json RangeJson(const OpenDocument& document, TextSpan span) {
  const LspRange range = document.text.RangeOf(span.begin, span.end, document.encoding);
  return {{"start", PositionJson(range.start)}, {"end", PositionJson(range.end)}};
}

ScannedText ScanAt(const OpenDocument& document, LspPosition at) {
  return ScanText(document.text.Text(), document.text.OffsetOf(at, document.encoding));
}

const ElementKind* KindOf(const ScannedText& scan, size_t element) {
  return element == kNoIndex ? nullptr : FindElementKind(scan.elements[element].name);
}

// The attribute the cursor is at, with its element's kind, when the table
// knows both.
struct KnownAttribute {
  const ElementKind* element = nullptr;
  const AttributeKind* attribute = nullptr;
  const ScannedAttribute* written = nullptr;
};

KnownAttribute AttributeAt(const ScannedText& scan) {
  const Cursor& cursor = scan.cursor;
  const ElementKind* element = KindOf(scan, cursor.element);
  if (!element || cursor.attribute == kNoIndex) return {};
  const ScannedAttribute& written = scan.elements[cursor.element].attributes[cursor.attribute];
  return {element, FindAttributeKind(*element, written.name), &written};
}

bool NamesFile(const AttributeKind* attribute) {
  return attribute &&
         (attribute->value == ValueKind::kImage || attribute->value == ValueKind::kLayout);
}

// A value as written between quotes of that kind.
std::string Escaped(const std::string& value, char quote) {
  std::string out;
  for (char c : value) {
    if (c == '&')
      out += "&amp;";
    else if (c == '<')
      out += "&lt;";
    else if (c == quote)
      out += quote == '"' ? "&quot;" : "&apos;";
    else
      out += c;
  }
  return out;
}

// ---- Hover texts, from the element table -------------------------------

std::string ElementText(const ElementKind& kind) {
  std::string text =
      "**`" + std::string(kind.name) + "`**: " + kind.description + "\n\nRead " + kind.place + ".";
  if (kind.attributes.empty()) return text + " It has no attributes.";
  text += "\n\nAttributes:";
  for (const AttributeKind& attribute : kind.attributes)
    text += std::string(&attribute == &kind.attributes[0] ? " `" : ", `") + attribute.name + "`" +
            (attribute.required ? "" : " (optional)");
  return text;
}

std::string AttributeText(const ElementKind& element, const AttributeKind& attribute) {
  return "**`" + std::string(attribute.name) + "`** of `" + element.name + "`" +
         (attribute.required ? ", required" : ", optional") + "\n\n- **Value:** " +
         attribute.valueText + "\n- **Checked:** " + attribute.checked +
         "\n- **When it is wrong:** " + attribute.whenWrong;
}

// What the image holds, by its format's structure.
std::string ImageText(FileSystem& fs, const std::string& path) {
  std::string err;
  std::unique_ptr<File> file = fs.OpenForReading(path, Sharing::kReadWrite, &err);
  ImageFacts facts;
  const ImageVerdict verdict =
      file ? CheckImage(*file, ImageDepth::kStructure, &facts, &err) : ImageVerdict::kUnread;
  const std::string format = ImageFormatName(facts.format);
  switch (verdict) {
    case ImageVerdict::kWhole:
      return ", a " + format + " image of " + std::to_string(facts.width) + " \xC3\x97 " +
             std::to_string(facts.height) + " pixels";
    case ImageVerdict::kBroken:
      return ", a broken " + format + " image: " + facts.fault;
    case ImageVerdict::kOther:
      return ", no PNG, JPEG, GIF or BMP image";
    case ImageVerdict::kUnread:
      break;
  }
  return ", which cannot be read: " + err;
}

std::string FileText(const OpenDocument& document, const AttributeKind& attribute,
                     const std::string& name) {
  const std::string shown = "`" + Shown(name) + "`";
  if (!FileExistsInFolder(document.fs, document.folder, name))
    return shown + " is not in the folder";
  const std::string path = JoinPath(document.folder, name);
  uint64_t size = 0;
  std::string err;
  std::string text =
      shown + ": " + (document.fs.FileSize(path, &size, &err) ? FormatSize(size) : Shown(err));
  if (attribute.value == ValueKind::kImage) text += Shown(ImageText(document.fs, path));
  return text;
}

std::string HoverText(const OpenDocument& document, const ScannedText& scan) {
  const Cursor& cursor = scan.cursor;
  switch (cursor.place) {
    case CursorPlace::kElementName:
    case CursorPlace::kEndTagName: {
      const ElementKind* kind = FindElementKind(
          document.text.Text().substr(cursor.word.begin, cursor.word.end - cursor.word.begin));
      return kind ? ElementText(*kind) : "";
    }
    case CursorPlace::kAttributeName: {
      const KnownAttribute known = AttributeAt(scan);
      return known.attribute ? AttributeText(*known.element, *known.attribute) : "";
    }
    case CursorPlace::kAttributeValue: {
      const KnownAttribute known = AttributeAt(scan);
      return NamesFile(known.attribute) ? FileText(document, *known.attribute, known.written->value)
                                        : "";
    }
    default:
      return "";
  }
}

// ---- Completion ---------------------------------------------------------

json Item(const std::string& label, int kind, const json& range, const std::string& newText) {
  return {{"label", label},
          {"kind", kind},
          {"textEdit", {{"range", range}, {"newText", newText}}},
          {"filterText", label}};
}

json Markdown(const std::string& text) { return {{"kind", "markdown"}, {"value", text}}; }

// Whether the text has a first element besides the one typed at the
// cursor: a second is read by nothing.
bool HasRoot(const ScannedText& scan) {
  for (size_t i = 0; i < scan.elements.size(); ++i)
    if (scan.elements[i].parent == kNoIndex && i != scan.cursor.element) return true;
  return false;
}

// Elements the rules read inside the innermost open element; between tags
// the '<' comes with the name.
json ElementItems(const OpenDocument& document, const ScannedText& scan) {
  const Cursor& cursor = scan.cursor;
  const std::string parent = cursor.open.empty() ? "" : scan.elements[cursor.open.back()].name;
  const std::string open = cursor.place == CursorPlace::kText ? "<" : "";
  json items = json::array();
  if (parent.empty() && HasRoot(scan)) return items;
  for (const ElementKind* kind : ChildKindsOf(parent)) {
    json item = Item(kind->name, kClassItem, RangeJson(document, cursor.word), open + kind->name);
    item["detail"] = kind->description;
    item["documentation"] = Markdown(ElementText(*kind));
    items.push_back(item);
  }
  return items;
}

// The end tag of the innermost open element, with its '>' when the tag
// lacks one.
json EndTagItems(const OpenDocument& document, const ScannedText& scan) {
  const Cursor& cursor = scan.cursor;
  const std::string name = cursor.open.empty() ? "" : scan.elements[cursor.open.back()].name;
  if (name.empty() || !IsUtf8(name)) return json::array();
  const std::string& text = document.text.Text();
  const size_t after = text.find_first_not_of(" \t\r\n", cursor.word.end);
  const bool closed = after != std::string::npos && text[after] == '>';
  return json::array(
      {Item(name, kClassItem, RangeJson(document, cursor.word), closed ? name : name + ">")});
}

// The element's attributes not yet written, the required first.
json AttributeItems(const OpenDocument& document, const ScannedText& scan) {
  const Cursor& cursor = scan.cursor;
  const ElementKind* kind = KindOf(scan, cursor.element);
  if (!kind) return json::array();
  const std::vector<ScannedAttribute>& written = scan.elements[cursor.element].attributes;
  std::set<std::string> present;  // but the one typed over
  for (size_t i = 0; i < written.size(); ++i)
    if (i != cursor.attribute) present.insert(written[i].name);
  json items = json::array();
  for (size_t i = 0; i < kind->attributes.size(); ++i) {
    const AttributeKind& attribute = kind->attributes[i];
    if (present.count(attribute.name)) continue;
    json item =
        Item(attribute.name, kPropertyItem, RangeJson(document, cursor.word), attribute.name);
    item["sortText"] =
        (attribute.required ? "0" : "1") + std::string(1, static_cast<char>('a' + i));
    item["detail"] = attribute.valueText;
    item["documentation"] = Markdown(AttributeText(*kind, attribute));
    items.push_back(item);
  }
  return items;
}

// The files a build packs, by the writer's own rule, but the manifest.
std::vector<std::string> PackedNames(const OpenDocument& document) {
  const OwnFiles own(document.fs, PackagePath(document.folder));
  PackedFileRule rule;
  rule.ownFile = [&own](const std::string& name, const std::string& path) {
    return own.Holds(name, path);
  };
  std::vector<std::string> names;
  std::string err;
  ListPackedFiles(
      document.fs, document.folder, rule,
      [&](const std::string& name) {
        if (name != "main.xml" && IsUtf8(name)) names.push_back(name);
      },
      &err);
  return names;
}

// A value of a closed set, which today's are only the files a value names.
json ValueItems(const OpenDocument& document, const ScannedText& scan) {
  const KnownAttribute known = AttributeAt(scan);
  if (!NamesFile(known.attribute)) return json::array();
  const char quote = known.written->quote;
  json items = json::array();
  for (const std::string& name : PackedNames(document)) {
    const std::string value = Escaped(name, quote);
    items.push_back(Item(name, kFileItem, RangeJson(document, scan.cursor.word),
                         known.written->quoted ? value : quote + value + quote));
  }
  return items;
}

json CompletionItems(const OpenDocument& document, const ScannedText& scan) {
  switch (scan.cursor.place) {
    case CursorPlace::kText:
    case CursorPlace::kElementName:
      return ElementItems(document, scan);
    case CursorPlace::kEndTagName:
      return EndTagItems(document, scan);
    case CursorPlace::kAttributeName:
      return AttributeItems(document, scan);
    case CursorPlace::kAttributeValue:
      return ValueItems(document, scan);
    case CursorPlace::kElsewhere:
      break;
  }
  return json::array();
}

// ---- Document symbols ---------------------------------------------------

// Positions of many offsets found in one walk of the text, each from the
// one before: a manifest of one long line would otherwise be walked from
// the line's start for each.
class Positions {
 public:
  Positions(const OpenDocument& document, std::vector<size_t> offsets) {
    std::sort(offsets.begin(), offsets.end());
    offsets.erase(std::unique(offsets.begin(), offsets.end()), offsets.end());
    const std::string& text = document.text.Text();
    size_t previous = 0;
    LspPosition at;
    for (size_t offset : offsets) {
      const std::string between = text.substr(previous, offset - previous);
      if (between.find_first_of("\r\n") != std::string::npos) {
        at = document.text.PositionOf(offset, document.encoding);
      } else {
        const LspText piece(between);
        at.character += piece.PositionOf(between.size(), document.encoding).character;
      }
      m_positions.emplace(offset, at);
      previous = offset;
    }
  }

  json Range(TextSpan span) const {
    return {{"start", PositionJson(m_positions.at(span.begin))},
            {"end", PositionJson(m_positions.at(span.end))}};
  }

 private:
  std::map<size_t, LspPosition> m_positions;
};

struct SymbolShape {
  const char* name;    // the attribute that names it, or null
  const char* detail;  // the attribute shown beside it, or null
  int kind;
};

SymbolShape ShapeOf(const std::string& element) {
  if (element == "theme") return {"name", "screenshot", kClassSymbol};
  if (element == "templates") return {nullptr, nullptr, kNamespaceSymbol};
  if (element == "detail") return {"mode", "file", kFileSymbol};
  if (element == "virtualshelf") return {nullptr, "background", kStructSymbol};
  return {"name", "image", kFieldSymbol};
}

std::string AttributeValue(const ScannedElement& element, const char* name) {
  const ScannedAttribute* attribute = name ? element.Attribute(name) : nullptr;
  return attribute ? attribute->value : "";
}

json Symbol(const ScannedText& scan, size_t index, const Positions& positions) {
  const ScannedElement& element = scan.elements[index];
  const SymbolShape shape = ShapeOf(element.name);
  const std::string name = AttributeValue(element, shape.name);
  json symbol = {{"name", Shown(name.empty() ? element.name : name)},
                 {"kind", shape.kind},
                 {"range", positions.Range(element.whole)},
                 {"selectionRange", positions.Range(element.nameSpan)}};
  const std::string detail = AttributeValue(element, shape.detail);
  if (!detail.empty()) symbol["detail"] = Shown(detail);
  json children = json::array();
  // The table's parents are few and end at the root: this recursion is
  // as deep as the table, whatever the text nests.
  for (size_t child : element.children) {
    const ElementKind* kind = FindElementKind(scan.elements[child].name);
    if (kind && kind->parent && element.name == kind->parent)
      children.push_back(Symbol(scan, child, positions));
  }
  if (!children.empty()) symbol["children"] = children;
  return symbol;
}

// Each theme not inside another: where the root is broken or misspelt,
// the themes are still what the author wrote.
std::vector<size_t> Themes(const ScannedText& scan) {
  std::vector<bool> inTheme(scan.elements.size(), false);
  std::vector<size_t> themes;
  for (size_t i = 0; i < scan.elements.size(); ++i) {
    const size_t parent = scan.elements[i].parent;
    inTheme[i] = parent != kNoIndex && (inTheme[parent] || scan.elements[parent].name == "theme");
    if (scan.elements[i].name == "theme" && !inTheme[i]) themes.push_back(i);
  }
  return themes;
}

// The offsets whose positions the symbols of the themes need.
std::vector<size_t> SymbolOffsets(const ScannedText& scan) {
  std::vector<size_t> offsets;
  for (const ScannedElement& element : scan.elements) {
    if (!FindElementKind(element.name)) continue;
    for (size_t offset :
         {element.whole.begin, element.whole.end, element.nameSpan.begin, element.nameSpan.end})
      offsets.push_back(offset);
  }
  return offsets;
}

// ---- Code actions -------------------------------------------------------

struct Edit {
  TextSpan span;
  std::string newText;
};

// Where `written` stands first at or after `from`: as an element's name
// (its end tag's too), an attribute's name, or a value.
std::vector<Edit> FixEdits(const ScannedText& scan, size_t from, const std::string& written,
                           const std::string& meant) {
  for (const ScannedElement& element : scan.elements) {
    if (element.whole.end < from) continue;
    if (element.nameSpan.begin >= from && element.name == written) {
      std::vector<Edit> edits = {{element.nameSpan, meant}};
      if (element.hasEndTag && element.endNameSpan.begin > element.nameSpan.begin)
        edits.push_back({element.endNameSpan, meant});
      return edits;
    }
    for (const ScannedAttribute& attribute : element.attributes) {
      if (attribute.nameSpan.begin >= from && attribute.name == written)
        return {{attribute.nameSpan, meant}};
      if (attribute.hasValue && attribute.valueSpan.begin >= from && attribute.value == written)
        return {{attribute.valueSpan, attribute.quoted ? Escaped(meant, attribute.quote)
                                                       : "\"" + Escaped(meant, '"') + "\""}};
    }
  }
  return {};
}

bool WantsQuickFixes(const json& context) {
  if (!context.contains("only") || !context["only"].is_array()) return true;
  for (const json& kind : context["only"])
    if (kind.is_string() && (kind == "quickfix" || kind == "")) return true;
  return false;
}

LspPosition PositionOfJson(const json& position) {
  LspPosition at;
  if (position.is_object() && position.value("line", json()).is_number_unsigned())
    at.line = position["line"].get<size_t>();
  if (position.is_object() && position.value("character", json()).is_number_unsigned())
    at.character = position["character"].get<size_t>();
  return at;
}

// The fix a diagnostic carries in its data, as the server published it.
bool FixOf(const json& diagnostic, NameFix* fix) {
  if (!diagnostic.is_object() || !diagnostic.contains("data")) return false;
  const json& data = diagnostic["data"];
  if (!data.is_object() || !data.value("written", json()).is_string() ||
      !data.value("meant", json()).is_string())
    return false;
  *fix = {data["written"].get<std::string>(), data["meant"].get<std::string>()};
  return !fix->meant.empty() && fix->meant != fix->written;
}

json Action(const OpenDocument& document, const NameFix& fix, const std::vector<Edit>& edits) {
  json changes = json::array();
  for (const Edit& edit : edits)
    changes.push_back({{"range", RangeJson(document, edit.span)}, {"newText", edit.newText}});
  return {{"title", "Change '" + Shown(fix.written) + "' to '" + Shown(fix.meant) + "'"},
          {"kind", "quickfix"},
          {"diagnostics", json::array()},
          {"isPreferred", true},
          {"edit", {{"changes", {{document.uriOf(document.path), changes}}}}}};
}

}  // namespace

json Completion(const OpenDocument& document, LspPosition at) {
  if (!IsManifest(document)) return nullptr;
  const json items = CompletionItems(document, ScanAt(document, at));
  if (items.empty()) return nullptr;
  return {{"isIncomplete", false}, {"items", items}};
}

json Hover(const OpenDocument& document, LspPosition at) {
  if (!IsManifest(document)) return nullptr;
  const ScannedText scan = ScanAt(document, at);
  const std::string text = HoverText(document, scan);
  if (text.empty()) return nullptr;
  return {{"contents", Markdown(text)}, {"range", RangeJson(document, scan.cursor.word)}};
}

json Definition(const OpenDocument& document, LspPosition at) {
  if (!IsManifest(document)) return nullptr;
  const ScannedText scan = ScanAt(document, at);
  const KnownAttribute known = AttributeAt(scan);
  if (scan.cursor.place != CursorPlace::kAttributeValue || !NamesFile(known.attribute) ||
      known.written->value.empty() ||
      !FileExistsInFolder(document.fs, document.folder, known.written->value))
    return nullptr;
  const json start = PositionJson({0, 0});
  return {{"uri", document.uriOf(JoinPath(document.folder, known.written->value))},
          {"range", {{"start", start}, {"end", start}}}};
}

json DocumentSymbols(const OpenDocument& document) {
  json symbols = json::array();
  if (!IsManifest(document)) return symbols;
  const ScannedText scan = ScanText(document.text.Text());
  const Positions positions(document, SymbolOffsets(scan));
  for (size_t theme : Themes(scan)) symbols.push_back(Symbol(scan, theme, positions));
  return symbols;
}

json CodeActions(const OpenDocument& document, const json& params) {
  json actions = json::array();
  const json context = params.is_object() ? params.value("context", json()) : json();
  if (!context.is_object() || !WantsQuickFixes(context) ||
      !context.value("diagnostics", json()).is_array())
    return actions;
  const ScannedText scan = ScanText(document.text.Text());
  std::map<std::string, size_t> seen;  // one action for a fix two diagnostics offer
  for (const json& diagnostic : context["diagnostics"]) {
    NameFix fix;
    if (!FixOf(diagnostic, &fix)) continue;
    const json range = diagnostic.value("range", json());
    const size_t from = document.text.OffsetOf(
        PositionOfJson(range.is_object() ? range.value("start", json()) : json()),
        document.encoding);
    const std::vector<Edit> edits = FixEdits(scan, from, fix.written, fix.meant);
    if (edits.empty()) continue;
    json action = Action(document, fix, edits);
    const std::string key = action["edit"].dump(-1, ' ', false, json::error_handler_t::replace);
    const auto found = seen.emplace(key, actions.size());
    if (found.second) actions.push_back(action);
    actions[found.first->second]["diagnostics"].push_back(diagnostic);
  }
  return actions;
}

}  // namespace nv
