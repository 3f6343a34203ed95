// Well-formedness by expat, which follows XML to the letter.
#include "manifest/strict_xml.h"

#include <expat.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <new>

namespace nv {

namespace {

// An encoding that expat does not know (windows-1252, GBK, ...) is read a
// byte at a time, each byte above 0x7F as a letter: the encodings manifests
// are written in give '<', '&' and quotes no other meaning, so what is
// well-formed in them stays so, and naming one is no fault.
int ReadBytesAsLetters(void*, const XML_Char*, XML_Encoding* info) {
  for (int byte = 0; byte < 256; ++byte) info->map[byte] = byte < 0x80 ? byte : 0xC0 + (byte & 0xF);
  info->data = nullptr;
  info->convert = nullptr;
  info->release = nullptr;
  return XML_STATUS_OK;
}

}  // namespace

bool IsWellFormedXml(const std::string& text, XmlFault* fault) {
  std::unique_ptr<XML_ParserStruct, void (*)(XML_Parser)> parser(XML_ParserCreate(nullptr),
                                                                 XML_ParserFree);
  if (!parser) throw std::bad_alloc();
  XML_SetUnknownEncodingHandler(parser.get(), ReadBytesAsLetters, nullptr);
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
  fault->reason = XML_ErrorString(XML_GetErrorCode(parser.get()));
  const XML_Index index = XML_GetCurrentByteIndex(parser.get());
  fault->offset = std::min(static_cast<size_t>(std::max<XML_Index>(0, index)), text.size());
  return false;
}

}  // namespace nv
