// Reading a ".nvp" package that may come from anywhere: every size, id and
// name is checked before it is trusted, and no claim of the package decides
// how much memory is taken.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "package/inflate_block.h"
#include "package/package_format.h"
#include "platform/file_system.h"

namespace nv {

// One packed file, as its index element and its record describe it.
struct PackedFile {
  std::string name;
  int32_t id = 0;
  uint32_t originalSize = 0;
  uint32_t storedSize = 0;
  uint64_t blockOffset = 0;  // where its compressed block starts
};

class PackageReader {
 public:
  // Opens the package and checks all of it but the packed files' blocks: the
  // header, the chain of records up to the exact end of the file, the index
  // document, the ids of index and records, and each name under `rules`,
  // duplicates included. False with the first fault in words.
  bool Open(FileSystem& fs, const std::string& path, NameRules rules, std::string* fault);

  // The packed files in index order, ids 1, 2, 3, ...
  const std::vector<PackedFile>& Files() const { return m_files; }

  // Inflates one packed file into `sink`, checked to be exactly its
  // originalSize long.
  bool ReadContent(const PackedFile& file, const ContentSink& sink, std::string* fault);

 private:
  bool ReadAt(uint64_t offset, uint8_t* data, size_t size, std::string* fault);
  bool ReadHeader(std::string* fault);
  bool ReadChain(std::string* fault);
  bool ReadIndex(std::string* text, std::string* fault);
  bool TakeIndex(std::string text, std::string* fault);
  bool MatchRecords(std::string* fault);
  bool CheckNames(NameRules rules, std::string* fault);

  // One record of the chain, with where its block starts.
  struct ChainedRecord {
    EntryRecord record;
    uint64_t blockOffset = 0;
  };

  std::unique_ptr<File> m_file;
  uint64_t m_size = 0;
  std::vector<ChainedRecord> m_entries;  // the chain: the index, then the files
  std::vector<PackedFile> m_files;
};

}  // namespace nv
