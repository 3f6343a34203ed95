// Composing and reading the package's header, records and index text.
#include "package/package_format.h"

#include <tinyxml.h>

#include <algorithm>

#include "package/little_endian.h"

namespace nv {

const char kIndexRootName[] = "files";
const char kIndexFileName[] = "file";
const char kIndexNameAttribute[] = "filename";
const char kIndexIdAttribute[] = "id";

namespace {

template <size_t N>
bool AllZero(const std::array<uint8_t, N>& bytes, size_t from) {
  return std::all_of(bytes.begin() + from, bytes.end(), [](uint8_t b) { return b == 0; });
}

}  // namespace

PackageHeaderBytes ComposeHeader() {
  PackageHeaderBytes header{};
  header[kHeaderMagicOffset] = kPackageMagic[0];
  header[kHeaderMagicOffset + 1] = kPackageMagic[1];
  PutLe16(&header[kHeaderVersionOffset], kFormatVersion);
  return header;
}

EntryRecordBytes ComposeRecord(const EntryRecord& record) {
  EntryRecordBytes bytes{};
  PutLe32(&bytes[kRecordIdOffset], static_cast<uint32_t>(record.entryId));
  PutLe32(&bytes[kRecordStoredSizeOffset], record.storedSize);
  PutLe32(&bytes[kRecordOriginalSizeOffset], record.originalSize);
  return bytes;
}

bool CheckHeader(const PackageHeaderBytes& bytes, std::string* fault) {
  if (bytes[kHeaderMagicOffset] != kPackageMagic[0] ||
      bytes[kHeaderMagicOffset + 1] != kPackageMagic[1]) {
    *fault = "not a package: it does not begin with \"NP\"";
    return false;
  }
  uint16_t version = GetLe16(&bytes[kHeaderVersionOffset]);
  if (version != kFormatVersion) {
    *fault = "format version " + std::to_string(version) + " is not supported (only " +
             std::to_string(kFormatVersion) + ")";
    return false;
  }
  if (!AllZero(bytes, kHeaderReservedOffset)) {
    *fault = "the header's reserved bytes are not zero";
    return false;
  }
  return true;
}

bool ReadRecord(const EntryRecordBytes& bytes, EntryRecord* record) {
  record->entryId = static_cast<int32_t>(GetLe32(&bytes[kRecordIdOffset]));
  record->storedSize = GetLe32(&bytes[kRecordStoredSizeOffset]);
  record->originalSize = GetLe32(&bytes[kRecordOriginalSizeOffset]);
  return AllZero(bytes, kRecordReservedOffset);
}

TiXmlDeclaration IndexDeclaration() { return TiXmlDeclaration("1.0", "utf-8", "yes"); }

TiXmlElement IndexFileElement(const std::string& name, int32_t id) {
  TiXmlElement file(kIndexFileName);
  file.SetAttribute(kIndexNameAttribute, name);
  file.SetAttribute(kIndexIdAttribute, id);
  return file;
}

std::string PrintIndex(const TiXmlDocument& index) {
  TiXmlPrinter printer;
  printer.SetStreamPrinting();
  index.Accept(&printer);
  return printer.Str();
}

std::string IndexTextOf(const std::vector<std::string>& names) {
  TiXmlDocument index;
  index.InsertEndChild(IndexDeclaration());
  auto* root = new TiXmlElement(kIndexRootName);  // linked, not copied
  index.LinkEndChild(root);
  for (size_t i = 0; i < names.size(); ++i)
    root->InsertEndChild(IndexFileElement(names[i], static_cast<int32_t>(i + 1)));
  return PrintIndex(index);
}

}  // namespace nv
