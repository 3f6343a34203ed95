// The ".nvp" package: its byte layout, and the package index inside it.
//
// A package is a fixed header followed by a chain of entries, each a fixed
// record and the compressed block the record announces. There is no table of
// offsets and no trailer: the file ends right after the last block.
//
//   offset 0     PackageHeader, 1044 bytes
//   1044         EntryRecord of the index (entryId 0), 76 bytes
//   1120         the compressed package index, storedSize bytes
//   next         EntryRecord of file 1, then its compressed content
//   ...          one record and block per further file, in index order
//
// PackageHeader:  0  magic          2 bytes  "NP" (0x4E 0x50)
//                 2  formatVersion  u16      2
//                 4  reserved       1040     zero
// EntryRecord:    0  entryId        i32      0 for the index, else the file's id
//                 4  storedSize     u32      bytes of the block after the record
//                 8  originalSize   u32      bytes of the content uncompressed
//                12  reserved       64       zero
//
// Integers are little-endian; nothing is aligned or padded. Each block is one
// zlib stream (RFC 1950) over the entry's whole content.
//
// The package index is an XML document printed by TinyXML's printer in stream
// mode (no indentation, no line breaks), without byte-order mark or final
// zero byte: a declaration, then the root "files" holding one "file" element
// per packed file, in ascending id order, with the attributes "filename" (the
// name in the folder, in the system's 8-bit code page) and "id" (1, 2, 3, ...
// in decimal). The index for main.xml and back.png, 141 bytes:
//   <?xml version="1.0" encoding="utf-8" standalone="yes" ?><files>
//   <file filename="main.xml" id="1" /><file filename="back.png" id="2" /></files>
// (printed as one line).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class TiXmlDeclaration;
class TiXmlDocument;
class TiXmlElement;

namespace nv {

constexpr size_t kPackageHeaderSize = 1044;
constexpr size_t kHeaderMagicOffset = 0;
constexpr size_t kHeaderVersionOffset = 2;
constexpr size_t kHeaderReservedOffset = 4;
constexpr uint8_t kPackageMagic[2] = {'N', 'P'};
constexpr uint16_t kFormatVersion = 2;

constexpr size_t kEntryRecordSize = 76;
constexpr size_t kRecordIdOffset = 0;
constexpr size_t kRecordStoredSizeOffset = 4;
constexpr size_t kRecordOriginalSizeOffset = 8;
constexpr size_t kRecordReservedOffset = 12;

// The id of the index's own entry; packed files count from 1.
constexpr int32_t kIndexEntryId = 0;

extern const char kIndexRootName[];       // "files"
extern const char kIndexFileName[];       // "file"
extern const char kIndexNameAttribute[];  // "filename"
extern const char kIndexIdAttribute[];    // "id"

using PackageHeaderBytes = std::array<uint8_t, kPackageHeaderSize>;
using EntryRecordBytes = std::array<uint8_t, kEntryRecordSize>;

// The fields of one EntryRecord.
struct EntryRecord {
  int32_t entryId = 0;
  uint32_t storedSize = 0;
  uint32_t originalSize = 0;
};

// The header: cleared, then magic and formatVersion stored.
PackageHeaderBytes ComposeHeader();
// A record: cleared, then its three fields stored.
EntryRecordBytes ComposeRecord(const EntryRecord& record);

// Whether the bytes are a header this reader understands; else why not.
bool CheckHeader(const PackageHeaderBytes& bytes, std::string* fault);
// The record's fields; false when its reserved bytes are not all zero.
bool ReadRecord(const EntryRecordBytes& bytes, EntryRecord* record);

// The index's declaration: version "1.0", encoding "utf-8", standalone "yes".
TiXmlDeclaration IndexDeclaration();
// One packed file's element: "filename" first, then "id".
TiXmlElement IndexFileElement(const std::string& name, int32_t id);
// The index text: the document as the printer renders it in stream mode.
std::string PrintIndex(const TiXmlDocument& index);
// The printed index of a package of these files, with ids 1, 2, 3, ... in
// this order.
std::string IndexTextOf(const std::vector<std::string>& names);

}  // namespace nv
