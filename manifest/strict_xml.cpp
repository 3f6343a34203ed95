// Well-formedness by expat, which follows XML to the letter.
#include "manifest/strict_xml.h"

#include <expat.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace nv {

namespace {

// The encodings, beside those expat reads itself (UTF-8, UTF-16, ISO-8859-1,
// US-ASCII), that readers of manifests commonly know, by the names they
// know them by: the IANA names and their usual aliases, in lower case.
// Each gives '<', '&' and quotes their ASCII meaning.
const char* const kKnownEncodings[] = {
    "utf8",         "ascii",        "latin1",       "iso-8859-2",   "iso-8859-3",   "iso-8859-4",
    "iso-8859-5",   "iso-8859-6",   "iso-8859-7",   "iso-8859-8",   "iso-8859-9",   "iso-8859-10",
    "iso-8859-11",  "iso-8859-13",  "iso-8859-14",  "iso-8859-15",  "iso-8859-16",  "windows-874",
    "windows-1250", "windows-1251", "windows-1252", "windows-1253", "windows-1254", "windows-1255",
    "windows-1256", "windows-1257", "windows-1258", "cp1250",       "cp1251",       "cp1252",
    "cp1253",       "cp1254",       "cp1255",       "cp1256",       "cp1257",       "cp1258",
    "cp437",        "cp850",        "cp852",        "cp866",        "ibm437",       "ibm850",
    "ibm852",       "ibm866",       "koi8-r",       "koi8-u",       "macintosh",    "tis-620",
    "shift_jis",    "windows-31j",  "cp932",        "euc-jp",       "iso-2022-jp",  "euc-kr",
    "cp949",        "iso-2022-kr",  "gb2312",       "gbk",          "cp936",        "gb18030",
    "big5",         "big5-hkscs",   "cp950",
};

bool IsKnownEncoding(const XML_Char* name) {
  std::string lower(name);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
  return std::any_of(std::begin(kKnownEncodings), std::end(kKnownEncodings),
                     [&lower](const char* known) { return lower == known; });
}

// A known encoding that expat does not read itself (windows-1252, GBK, ...)
// is read a byte at a time, each byte above 0x7F as a letter: what is
// well-formed in it stays so. A name no reader knows (a slip: "utf8x") is
// the fault a strict reader stops at; `data` is the string that keeps it.
int ReadBytesAsLetters(void* data, const XML_Char* name, XML_Encoding* info) {
  if (!IsKnownEncoding(name)) {
    *static_cast<std::string*>(data) = name;
    return XML_STATUS_ERROR;
  }
  for (int byte = 0; byte < 256; ++byte) info->map[byte] = byte < 0x80 ? byte : 0xC0 + (byte & 0xF);
  info->data = nullptr;
  info->convert = nullptr;
  info->release = nullptr;
  return XML_STATUS_OK;
}

// The elements open where the parser is, with the line each opened on, so
// that a mismatched end tag can name the one it should close.
struct OpenElements {
  XML_Parser parser = nullptr;
  std::vector<std::pair<std::string, XML_Size>> stack;
};

void OnStart(void* data, const XML_Char* name, const XML_Char**) {
  auto* open = static_cast<OpenElements*>(data);
  open->stack.emplace_back(name, XML_GetCurrentLineNumber(open->parser));
}

void OnEnd(void* data, const XML_Char*) {
  auto* open = static_cast<OpenElements*>(data);
  if (!open->stack.empty()) open->stack.pop_back();
}

// The name that begins at `at` in the text, up to a space, '>', '/' or ';'.
std::string NameAt(const std::string& text, size_t at) {
  const size_t end = text.find_first_of(" \t\r\n>/;", at);
  return text.substr(at, (end == std::string::npos ? text.size() : end) - at);
}

// expat points at the tag or text that holds the entity: the first
// reference from there that XML does not define itself, by the offset of its
// "&"; npos where there is none.
size_t UndefinedEntity(const std::string& text, size_t at) {
  static const char* const kDefined[] = {"amp", "lt", "gt", "quot", "apos"};
  for (size_t amp = text.find('&', at); amp != std::string::npos; amp = text.find('&', amp + 1)) {
    const std::string name = NameAt(text, amp + 1);
    if (name.empty() || name[0] == '#') continue;
    if (std::none_of(std::begin(kDefined), std::end(kDefined),
                     [&name](const char* d) { return name == d; }))
      return amp;
  }
  return std::string::npos;
}

// A bare "&", or one whose reference never ends in ";", is a token expat
// finds invalid at the byte after it, or after the name that follows it.
bool IsReferenceByte(unsigned char c) {
  return c >= 0x80 || std::isalnum(c) || c == '#' || c == '_' || c == '-' || c == '.' || c == ':';
}

size_t BareAmpersand(const std::string& text, size_t at) {
  size_t start = std::min(at, text.size());
  while (start > 0 && IsReferenceByte(static_cast<unsigned char>(text[start - 1]))) --start;
  return start > 0 && text[start - 1] == '&' ? start - 1 : std::string::npos;
}

// Where the fault is for an author: at the "&" of an entity, where expat
// points at what holds it or past it.
size_t FaultOffset(XML_Error error, const std::string& text, size_t at) {
  size_t amp = std::string::npos;
  if (error == XML_ERROR_UNDEFINED_ENTITY) amp = UndefinedEntity(text, at);
  if (error == XML_ERROR_INVALID_TOKEN) amp = BareAmpersand(text, at);
  return amp == std::string::npos ? at : amp;
}

// UTF-16, as expat tells it: by a byte order mark, or by a NUL beside the
// "<" that opens the text.
bool IsUtf16(const std::string& text) {
  if (text.compare(0, 2, "\xFF\xFE") == 0 || text.compare(0, 2, "\xFE\xFF") == 0) return true;
  return text.size() >= 2 && (text[0] == '\0') != (text[1] == '\0');
}

// expat's words, with what they leave out: the entity it does not know, and
// the element an end tag fails to close.
std::string Reason(XML_Error error, const std::string& text, size_t at, const OpenElements& open,
                   const std::string& unknownEncoding) {
  std::string reason = XML_ErrorString(error);
  if (error == XML_ERROR_UNKNOWN_ENCODING && !unknownEncoding.empty())
    return reason + ": '" + unknownEncoding +
           "' (name the encoding the file is saved in: encoding=\"utf-8\", or none)";
  // The text's own words are read a byte a character; in UTF-16 expat's
  // words and the element left open say it.
  if (IsUtf16(text)) {
    if (error == XML_ERROR_TAG_MISMATCH && !open.stack.empty())
      reason += ": an end tag where '" + open.stack.back().first + "', opened at line " +
                std::to_string(open.stack.back().second) + ", is open";
    return reason;
  }
  if (error == XML_ERROR_UNDEFINED_ENTITY) {
    const size_t amp = UndefinedEntity(text, at);
    if (amp != std::string::npos) reason += ": '&" + NameAt(text, amp + 1) + ";'";
  }
  // A byte of another encoding (Latin-1's 0xE9) in a file read as UTF-8.
  if (error == XML_ERROR_INVALID_TOKEN && at < text.size() &&
      static_cast<unsigned char>(text[at]) >= 0x80) {
    static const char kHex[] = "0123456789ABCDEF";
    const unsigned char byte = static_cast<unsigned char>(text[at]);
    reason = std::string("byte 0x") + kHex[byte >> 4] + kHex[byte & 15] +
             " is not UTF-8, the encoding the file is read in (save it as UTF-8, or name "
             "its encoding in the XML declaration)";
  }
  // expat points at the end tag's name, past its "</".
  if (error == XML_ERROR_TAG_MISMATCH && at >= 2 && text.compare(at - 2, 2, "</") == 0 &&
      !open.stack.empty())
    reason += ": '</" + NameAt(text, at) + ">' where '" + open.stack.back().first +
              "', opened at line " + std::to_string(open.stack.back().second) + ", is open";
  return reason;
}

// expat counts characters, and a line's first column as 0; in 8-bit and
// UTF-8 text the columns are bytes, as everywhere else a place is told.
TextPosition PlaceOf(XML_Parser parser, const std::string& text, size_t offset) {
  if (!IsUtf16(text)) return TextLines(text).At(offset);
  return {static_cast<size_t>(XML_GetCurrentLineNumber(parser)),
          static_cast<size_t>(XML_GetCurrentColumnNumber(parser)) + 1};
}

}  // namespace

bool IsWellFormedXml(const std::string& text, XmlFault* fault) {
  std::unique_ptr<XML_ParserStruct, void (*)(XML_Parser)> parser(XML_ParserCreate(nullptr),
                                                                 XML_ParserFree);
  if (!parser) throw std::bad_alloc();
  std::string unknownEncoding;
  XML_SetUnknownEncodingHandler(parser.get(), ReadBytesAsLetters, &unknownEncoding);
  OpenElements open;
  open.parser = parser.get();
  XML_SetUserData(parser.get(), &open);
  XML_SetElementHandler(parser.get(), OnStart, OnEnd);
  // expat takes its input in pieces whose size fits an int.
  const size_t piece = INT_MAX / 2;
  size_t at = 0;
  XML_Status status = XML_STATUS_OK;
  do {
    const size_t size = std::min(piece, text.size() - at);
    const bool last = at + size == text.size();
    status = XML_Parse(parser.get(), text.data() + at, static_cast<int>(size), last);
    at += size;
  } while (status == XML_STATUS_OK && at < text.size());
  if (status == XML_STATUS_OK) return true;
  const XML_Index index = XML_GetCurrentByteIndex(parser.get());
  const size_t stop = std::min(static_cast<size_t>(std::max<XML_Index>(0, index)), text.size());
  const XML_Error error = XML_GetErrorCode(parser.get());
  fault->reason = Reason(error, text, stop, open, unknownEncoding);
  fault->offset = IsUtf16(text) ? stop : FaultOffset(error, text, stop);
  fault->at = PlaceOf(parser.get(), text, fault->offset);
  return false;
}

}  // namespace nv
