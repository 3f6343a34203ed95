// What one packed file's entry is made from.
#pragma once

#include <cstdint>
#include <string>

#include "package/build_cache_format.h"

namespace nv {

struct EntryJob {
  int32_t id;  // the file's id in the index
  std::string source;
  uint64_t size;  // as the file stood when listed: a guide for the order only
  // The file as the last build packed it, when the build cache knows it.
  const CachedFile* cached = nullptr;
  // Whether the file's stamp says it is unchanged since: its block is then
  // taken from the last package.
  bool unchanged = false;
};

}  // namespace nv
