// Reading and writing framed protocol messages.
#include "cli/lsp_framing.h"

#include <cctype>
#include <cstdint>

namespace nv {

namespace {

// One header line without its CR LF (a bare LF is taken too); false at the
// stream's end before any byte.
bool ReadHeaderLine(std::istream& in, std::string* line) {
  line->clear();
  if (!std::getline(in, *line)) return false;
  if (!line->empty() && line->back() == '\r') line->pop_back();
  return true;
}

bool NamesContentLength(const std::string& line, size_t colon) {
  static const std::string name = "content-length";
  if (colon != name.size()) return false;
  for (size_t i = 0; i < colon; ++i)
    if (std::tolower(static_cast<unsigned char>(line[i])) != name[i]) return false;
  return true;
}

// The length the header gives; npos when it gives none or no number.
size_t ContentLength(const std::string& line) {
  const size_t colon = line.find(':');
  if (colon == std::string::npos || !NamesContentLength(line, colon)) return std::string::npos;
  size_t at = colon + 1;
  while (at < line.size() && line[at] == ' ') ++at;
  if (at == line.size()) return std::string::npos;
  size_t length = 0;
  for (; at < line.size(); ++at) {
    if (!std::isdigit(static_cast<unsigned char>(line[at])) || length > SIZE_MAX / 10 - 1)
      return std::string::npos;
    length = length * 10 + static_cast<size_t>(line[at] - '0');
  }
  return length;
}

}  // namespace

Framed ReadFramedMessage(std::istream& in, std::string* body, std::string* err) {
  std::string line;
  size_t length = std::string::npos;
  bool any = false;
  while (ReadHeaderLine(in, &line)) {
    if (line.empty() && any) break;
    if (line.empty()) continue;  // blank lines between messages are forgiven
    any = true;
    const size_t given = ContentLength(line);
    if (given != std::string::npos) length = given;
  }
  if (!any) return Framed::kEnd;
  if (length == std::string::npos) {
    *err = "a message header without a sound Content-Length";
    return Framed::kBroken;
  }
  if (length > kMaxMessageBytes) {
    in.ignore(static_cast<std::streamsize>(length));
    *err = "a message of " + std::to_string(length) + " bytes, longer than any a server reads";
    return Framed::kBroken;
  }
  body->assign(length, '\0');
  in.read(&(*body)[0], static_cast<std::streamsize>(length));
  if (static_cast<size_t>(in.gcount()) != length) {
    *err = "a message cut short: the stream ended inside its body";
    return Framed::kBroken;
  }
  return Framed::kMessage;
}

void WriteFramedMessage(std::ostream& out, const std::string& body) {
  out << "Content-Length: " << body.size() << "\r\n\r\n" << body;
  out.flush();
}

}  // namespace nv
