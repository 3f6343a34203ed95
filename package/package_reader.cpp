// Reading packages, trusting nothing they say before it is checked.
#include "package/package_reader.h"

#include <tinyxml.h>

#include <map>
#include <utility>

#include "package/entry_name.h"
#include "package/package_format.h"
#include "xml/parser_limits.h"

namespace nv {

namespace {

// Deflate at its best codes 258 bytes in two bits: no zlib stream inflates to
// more than 1032 times its size, so a larger claim is false on its face.
constexpr uint64_t kMaxInflateRatio = 1032;

// The most index text a package can need, so that a larger claim is refused
// before any of it is inflated: room for any declaration and the root, and
// for each file its element as TinyXML prints it, with an id of ten digits
// and a name of 255 characters (the most a file system allows), each
// escaped in at most six bytes ("&quot;", "&#x1F;"): 1566 bytes a file.
constexpr uint64_t kIndexHeadBytes = 1024;
constexpr uint64_t kIndexBytesPerFile = sizeof("<file filename=\"\" id=\"\" />") - 1 + 10 + 255 * 6;

std::string Describe(const PackedFile& file) {
  return "file " + std::to_string(file.id) + " \"" + EscapeName(file.name) + "\"";
}

// The "files" element, when the document is a declaration followed by it and
// nothing else.
const TiXmlElement* FilesElement(const TiXmlDocument& index, std::string* fault) {
  const TiXmlNode* first = index.FirstChild();
  const TiXmlElement* files = index.FirstChildElement();
  if (!first || !first->ToDeclaration()) {
    *fault = "the index does not begin with an XML declaration";
  } else if (!files || files->ValueStr() != kIndexRootName) {
    *fault = "the index has no \"files\" element";
  } else if (first->NextSibling() != files || files->NextSibling()) {
    *fault = "the index holds more than a declaration and its \"files\" element";
  } else {
    return files;
  }
  return nullptr;
}

// The name of the index's element for file `id`, which must be
// <file filename="..." id="id" /> and no more.
bool ReadFileElement(const TiXmlNode& node, int32_t id, std::string* name, std::string* fault) {
  const std::string where = "the index's element " + std::to_string(id);
  const TiXmlElement* file = node.ToElement();
  if (!file || file->ValueStr() != kIndexFileName || !file->NoChildren()) {
    *fault = where + " is not an empty \"file\" element";
    return false;
  }
  int attributes = 0;
  for (const TiXmlAttribute* a = file->FirstAttribute(); a; a = a->Next()) ++attributes;
  // As strings, not C strings: a name with "&#x0;" in it must not end there.
  const std::string* filename = file->Attribute(std::string(kIndexNameAttribute));
  const std::string* fileId = file->Attribute(std::string(kIndexIdAttribute));
  if (attributes != 2 || !filename || !fileId) {
    *fault = where + " does not have exactly the attributes \"filename\" and \"id\"";
    return false;
  }
  if (*fileId != std::to_string(id)) {
    *fault = where + " has the id \"" + EscapeName(*fileId) + "\": ids count 1, 2, 3, ... in order";
    return false;
  }
  *name = *filename;
  return true;
}

// Whether the parser may take the index text of a package of `entries`
// entries. Besides the depth and the attributes of one element, the nodes
// it would build are held to what the entries account for: the root and one
// element for each file, two attributes an element, and no more other nodes
// than elements (a sound index has one, its declaration). Thus the tree
// grows with the package's records, never with how well its index
// compresses; what may stand where is checked once it is parsed.
bool WithinParserLimits(const std::string& text, size_t entries, std::string* fault) {
  using Limit = ElementBeyondLimits::Limit;
  ParserLimits limits;
  limits.elements = entries;
  limits.allAttributes = 2 * entries;
  limits.otherNodes = entries;
  switch (FindElementBeyondLimits(text, limits).limit) {
    case Limit::kNone:
      return true;
    case Limit::kDepth:
      *fault =
          "the index nests elements more than " + std::to_string(kMaxNestingDepth) + " levels deep";
      break;
    case Limit::kAttributes:
      *fault =
          "the index gives an element more than " + std::to_string(kMaxAttributes) + " attributes";
      break;
    case Limit::kElements:
      *fault = "the index holds more elements than the package has entries";
      break;
    case Limit::kAllAttributes:
      *fault = "the index holds more attributes than two for each entry of the package";
      break;
    case Limit::kOtherNodes:
      *fault =
          "the index holds more texts, comments and other nodes than the package has "
          "entries";
      break;
  }
  return false;
}

}  // namespace

bool PackageReader::Open(FileSystem& fs, const std::string& path, NameRules rules,
                         std::string* fault) {
  m_entries.clear();
  m_files.clear();
  std::string err;
  m_file = fs.OpenForReading(path, Sharing::kRead, &err);
  if (!m_file || !m_file->Size(&m_size, &err)) {
    *fault = "cannot read it: " + err;
    return false;
  }
  std::string index;
  return ReadHeader(fault) && ReadChain(fault) && ReadIndex(&index, fault) &&
         TakeIndex(std::move(index), fault) && CheckNames(rules, fault);
}

bool PackageReader::ReadContent(const PackedFile& file, const ContentSink& sink,
                                std::string* fault) {
  std::string why;
  if (!m_file->Seek(file.blockOffset, &why) ||
      !InflateBlock(*m_file, file.storedSize, file.originalSize, sink, &why)) {
    *fault = Describe(file) + ": " + why;
    return false;
  }
  return true;
}

bool PackageReader::ReadAt(uint64_t offset, uint8_t* data, size_t size, std::string* fault) {
  size_t got = 0;
  std::string err;
  if (m_file->Seek(offset, &err) && m_file->Read(data, size, &got, &err) && got == size)
    return true;
  *fault = "cannot read it: " + (err.empty() ? "it changed while it was read" : err);
  return false;
}

bool PackageReader::ReadHeader(std::string* fault) {
  if (m_size < kPackageHeaderSize) {
    *fault = "it is too short for a package: " + std::to_string(m_size) +
             " bytes, where the header alone takes 1044";
    return false;
  }
  PackageHeaderBytes header;
  return ReadAt(0, header.data(), header.size(), fault) && CheckHeader(header, fault);
}

// Walks the records from the header to the exact end of the file.
bool PackageReader::ReadChain(std::string* fault) {
  for (uint64_t at = kPackageHeaderSize; at < m_size;) {
    const std::string where = "the record at offset " + std::to_string(at);
    EntryRecordBytes bytes;
    EntryRecord record;
    if (m_size - at < kEntryRecordSize) {
      *fault = "the file ends inside " + where;
    } else if (!ReadAt(at, bytes.data(), bytes.size(), fault)) {
      return false;
    } else if (!ReadRecord(bytes, &record)) {
      *fault = where + " has reserved bytes that are not zero";
    } else if (record.storedSize > m_size - at - kEntryRecordSize) {
      *fault = where + " announces " + std::to_string(record.storedSize) + " bytes, but only " +
               std::to_string(m_size - at - kEntryRecordSize) + " follow";
    } else if (record.originalSize > record.storedSize * kMaxInflateRatio) {
      *fault = where + " claims " + std::to_string(record.originalSize) + " bytes from " +
               std::to_string(record.storedSize) + " compressed ones, more than zlib can give";
    } else {
      at += kEntryRecordSize;
      m_entries.push_back({record, at});
      at += record.storedSize;
      continue;
    }
    return false;
  }
  if (m_entries.empty()) *fault = "it holds no index: the file ends after the header";
  return !m_entries.empty();
}

bool PackageReader::ReadIndex(std::string* text, std::string* fault) {
  const EntryRecord& index = m_entries.front().record;
  const uint64_t most = kIndexHeadBytes + kIndexBytesPerFile * (m_entries.size() - 1);
  if (index.entryId != kIndexEntryId) {
    *fault =
        "the first entry has the id " + std::to_string(index.entryId) + ", where the index has 0";
  } else if (index.originalSize > most) {
    *fault = "the index claims " + std::to_string(index.originalSize) + " bytes, more than " +
             std::to_string(m_entries.size() - 1) + " files can need";
  } else {
    text->reserve(index.originalSize);
    ContentSink append = [text](const uint8_t* data, size_t size, std::string*) {
      text->append(reinterpret_cast<const char*>(data), size);
      return true;
    };
    std::string why;
    if (m_file->Seek(m_entries.front().blockOffset, &why) &&
        InflateBlock(*m_file, index.storedSize, index.originalSize, append, &why))
      return true;
    *fault = "the index: " + why;
  }
  return false;
}

// Takes the text to let it go once it is parsed: the tree holds all of it
// that is needed, and the files are listed beside the tree.
bool PackageReader::TakeIndex(std::string text, std::string* fault) {
  if (text.find('\0') != std::string::npos) {
    *fault = "the index holds a zero byte";
    return false;
  }
  if (!WithinParserLimits(text, m_entries.size(), fault)) return false;
  // Names are bytes of the system's 8-bit code page whatever the declaration
  // says; read as UTF-8, a lone high byte would swallow the quote after it.
  TiXmlDocument index;
  index.Parse(text.c_str(), nullptr, TIXML_ENCODING_LEGACY);
  std::string().swap(text);
  if (index.Error()) {
    *fault = std::string("the index is not well-formed XML: ") + index.ErrorDesc();
    return false;
  }
  const TiXmlElement* files = FilesElement(index, fault);
  if (!files) return false;
  m_files.reserve(m_entries.size() - 1);
  int32_t id = 0;
  for (const TiXmlNode* node = files->FirstChild(); node; node = node->NextSibling()) {
    PackedFile file;
    file.id = ++id;
    if (!ReadFileElement(*node, id, &file.name, fault)) return false;
    m_files.push_back(file);
  }
  return MatchRecords(fault);
}

// The index's files and the records after the index's own, one for one.
bool PackageReader::MatchRecords(std::string* fault) {
  const size_t records = m_entries.size() - 1;
  if (m_files.empty() || m_files.size() != records) {
    *fault = "the index lists " + std::to_string(m_files.size()) + " files, but " +
             std::to_string(records) + " entries follow it";
    return false;
  }
  for (size_t k = 0; k < records; ++k) {
    const EntryRecord& record = m_entries[k + 1].record;
    PackedFile& file = m_files[k];
    if (record.entryId != file.id) {
      *fault = Describe(file) + ": its record has the id " + std::to_string(record.entryId);
      return false;
    }
    file.originalSize = record.originalSize;
    file.storedSize = record.storedSize;
    file.blockOffset = m_entries[k + 1].blockOffset;
  }
  std::vector<ChainedRecord>().swap(m_entries);  // the files hold all of it now
  return true;
}

bool PackageReader::CheckNames(NameRules rules, std::string* fault) {
  std::map<std::string, const PackedFile*> seen;  // by EntryNameKey
  for (const PackedFile& file : m_files) {
    std::string why;
    if (!CheckEntryName(file.name, rules, &why)) {
      *fault = Describe(file) + ": its name cannot be a file here: " + why;
      return false;
    }
    auto [first, fresh] = seen.emplace(EntryNameKey(file.name, rules), &file);
    if (!fresh) {
      *fault = Describe(file) + ": " +
               (first->second->name == file.name
                    ? "the name is listed twice"
                    : "the name differs from file " + std::to_string(first->second->id) +
                          "'s only in letter case");
      return false;
    }
  }
  return true;
}

}  // namespace nv
