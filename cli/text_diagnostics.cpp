// The default text form of the diagnostics: source lines, carets, colour.
#include "cli/text_diagnostics.h"

#include <utf8proc.h>

#include <algorithm>
#include <vector>

#include "cli/gnu_diagnostics.h"
#include "package/entry_name.h"
#include "xml/text_position.h"

namespace nv {

namespace {

constexpr size_t kShownWidth = 80;  // of a line's text, its ellipses included
constexpr size_t kLeadWidth = 24;   // kept before the caret on a line cut
constexpr size_t kTabStop = 8;
const char kEllipsis[] = "...";

// As compilers colour them: the place and an error or warning's message
// bold, the severity in its colour, the caret green.
const char kBold[] = "\x1b[1m";
const char kReset[] = "\x1b[0m";
const char kCaretColour[] = "\x1b[1;32m";

const char* SeverityColour(const std::string& severity) {
  if (severity == "error") return "\x1b[1;31m";
  if (severity == "warning") return "\x1b[1;35m";
  return "\x1b[1;36m";
}

// What stands on screen for a character of a line, or for a byte shown
// escaped, and where in the line its bytes begin.
struct Glyph {
  std::string shown;
  size_t width;
  size_t offset;
  size_t bytes;
};

std::string Escaped(unsigned char byte) {
  static const char kHex[] = "0123456789ABCDEF";
  return std::string("\\x") + kHex[byte >> 4] + kHex[byte & 0xF];
}

// A control character is escaped byte by byte, so that a C1 control, two
// bytes in UTF-8, cannot drive the terminal either.
std::vector<Glyph> GlyphsOf(const std::string& line) {
  std::vector<Glyph> glyphs;
  size_t column = 0;
  for (size_t i = 0; i < line.size();) {
    utf8proc_int32_t c = -1;
    utf8proc_ssize_t n = utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(&line[i]),
                                          static_cast<utf8proc_ssize_t>(line.size() - i), &c);
    Glyph glyph{"", 1, i, 1};
    if (c == '\t') {
      glyph.width = kTabStop - column % kTabStop;
      glyph.shown.assign(glyph.width, ' ');
    } else if (n <= 0 || utf8proc_category(c) == UTF8PROC_CATEGORY_CC) {
      n = 1;
      glyph.shown = Escaped(static_cast<unsigned char>(line[i]));
      glyph.width = glyph.shown.size();
    } else {
      glyph.shown = line.substr(i, static_cast<size_t>(n));
      glyph.bytes = glyph.shown.size();
    }
    column += glyph.width;
    glyphs.push_back(std::move(glyph));
    i += static_cast<size_t>(n);
  }
  return glyphs;
}

// The bytes of the quoted value of an attribute that begins at `start`, up
// to its closing quote on the line; 0 for no such value.
size_t ValueLength(const std::string& line, size_t start) {
  if (start < 2 || start > line.size() || (line[start - 1] != '"' && line[start - 1] != '\''))
    return 0;
  const size_t equals = line.find_last_not_of(" \t", start - 2);
  const size_t close = line.find(line[start - 1], start);
  if (equals == std::string::npos || line[equals] != '=' || close == std::string::npos) return 0;
  return close - start;
}

// The glyphs [first, last) shown of a line too long: some before the
// caret, and as many after it as fit.
void Window(const std::vector<size_t>& columns, size_t caret, size_t* first, size_t* last) {
  const size_t total = columns.back();
  const size_t glyphs = columns.size() - 1;
  *first = 0;
  *last = glyphs;
  if (total <= kShownWidth) return;
  const auto at = [&](size_t column) {
    return static_cast<size_t>(std::lower_bound(columns.begin(), columns.end() - 1, column) -
                               columns.begin());
  };
  const size_t dots = sizeof kEllipsis - 1;
  if (caret > kLeadWidth) *first = std::min(at(caret - kLeadWidth), at(total + dots - kShownWidth));
  const size_t lead = *first ? dots : 0;
  while (*last > *first &&
         columns[*last] - columns[*first] + lead + (*last < glyphs ? dots : 0) > kShownWidth)
    --*last;
}

}  // namespace

SourceExcerpt ExcerptOf(const std::string& line, size_t column) {
  const std::vector<Glyph> glyphs = GlyphsOf(line);
  std::vector<size_t> columns{0};  // where each glyph begins on screen, then the end
  for (const Glyph& g : glyphs) columns.push_back(columns.back() + g.width);
  const size_t start = column - 1;
  const size_t end = start + ValueLength(line, start);
  size_t fault = 0;  // the glyph at the column, or one past the last
  while (fault < glyphs.size() && glyphs[fault].offset + glyphs[fault].bytes <= start) ++fault;
  size_t first = 0, last = 0;
  Window(columns, columns[fault], &first, &last);
  SourceExcerpt excerpt;
  if (first > 0) excerpt.text = excerpt.marker = kEllipsis;
  if (first > 0) excerpt.marker.assign(excerpt.marker.size(), ' ');
  for (size_t i = first; i < last; ++i) {
    excerpt.text += glyphs[i].shown;
    const bool underlined = glyphs[i].offset > start && glyphs[i].offset < end;
    if (i == fault)
      excerpt.marker += "^" + std::string(end > start ? glyphs[i].width - 1 : 0, '~');
    else if (underlined || i < fault)
      excerpt.marker += std::string(glyphs[i].width, underlined ? '~' : ' ');
  }
  if (fault == last) excerpt.marker += '^';
  if (last < glyphs.size()) excerpt.text += kEllipsis;
  return excerpt;
}

namespace {

// One line of a diagnostic: its place, its severity and its text.
void WriteHeading(std::ostream& out, const std::string& place, const char* severity,
                  const std::string& text, bool colour) {
  const bool bold = colour && std::string(severity) != "note";
  if (colour) out << kBold;
  out << EscapeText(place, Backslash::kSingle) << ": ";
  if (colour) out << kReset << SeverityColour(severity);
  out << severity << ':';
  if (colour) out << kReset;
  out << ' ' << (bold ? kBold : "") << EscapeText(text, Backslash::kSingle) << (bold ? kReset : "")
      << '\n';
}

// The line of the text that `at` points into, the line number in a gutter
// as wide as the widest of five digits or its own.
void WriteSource(std::ostream& out, const std::string& text, TextPosition at, bool colour) {
  const TextLines lines(text);
  const size_t start = lines.Start(at.line);
  if (start == std::string::npos) return;
  const size_t end = std::min(text.find_first_of("\r\n", start), text.size());
  const SourceExcerpt excerpt = ExcerptOf(text.substr(start, end - start), at.column);
  std::string number = std::to_string(at.line);
  number.insert(0, number.size() < 5 ? 5 - number.size() : 0, ' ');
  out << number << " | " << excerpt.text << '\n'
      << std::string(number.size(), ' ') << " | " << (colour ? kCaretColour : "") << excerpt.marker
      << (colour ? kReset : "") << '\n';
}

}  // namespace

void WriteTextDiagnostics(std::ostream& out, const FolderReport& report,
                          const std::string* manifest, bool colour) {
  for (const Diagnostic& d : report.diagnostics) {
    const bool inManifest = d.file == report.Manifest();
    const std::string place =
        inManifest ? d.file + ':' + std::to_string(d.at.line) + ':' + std::to_string(d.at.column)
                   : d.file;
    const bool asErrors = report.warningsAsErrors;
    WriteHeading(out, place, SeverityName(ToldSeverity(d.severity, d.name, asErrors)),
                 d.message + WarningLabel(d, asErrors), colour);
    if (inManifest && manifest) WriteSource(out, *manifest, d.at, colour);
    for (const std::string& note : d.notes) WriteHeading(out, place, "note", note, colour);
    for (const LocatedNote& note : d.related)
      WriteHeading(
          out,
          note.file + ':' + std::to_string(note.at.line) + ':' + std::to_string(note.at.column),
          "note", note.text, colour);
  }
  out << std::flush;
}

}  // namespace nv
