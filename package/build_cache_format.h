// The build cache's file: what the last build of one package left behind
// for the next, so that the blocks of files that did not change can be
// taken from the package instead of being made again.
//
// One file a package, in the user's cache folder. All integers are
// little-endian; a stamp is size u64, modified i64, changed i64, device u64,
// file u64 (40 bytes; times in nanoseconds since 1970); a digest is the 32
// bytes of a SHA-256.
//
//   0    8        magic "NVTCACHE"
//   8    u32      layout version, 1
//   12   u32 + F  the fingerprint of the builder that wrote it: its length, its bytes
//   ..   u32 + P  the package's full path: its length, its bytes
//   ..   stamp    the package's stamp once it was in place
//   ..   u32      the stored size of the package's index block
//   ..   digest   SHA-256 of the index block as stored
//   ..   i64      read-from: the change time of the build's new package file
//                 when it was created, before any source was read
//   ..   u32      N, the number of files, then N times, in the package's order:
//          u16 + L  the file's name in the folder
//          stamp    the file's stamp as its content was read
//          u8       1 when the digest was taken, else 0
//          digest   SHA-256 of that content, or zeros
//          u64      where its record starts in the package
//          i32 u32 u32  its record: id, stored size, original size
//          u32      the CRC-32 of its block
//   end  digest   SHA-256 of every byte before it
//
// A file that is cut short, damaged or not of this layout is refused
// whole, and so is one whose records do not follow one another from the
// index to the end of the package exactly as the package's chain does:
// none of them may point anywhere else. (The build cache further refuses
// one whose names are not those the package's index lists, in its order.)
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "package/package_format.h"
#include "platform/content_hash.h"
#include "platform/file_system.h"

namespace nv {

// No cache file is read that is larger than this.
constexpr uint64_t kMaxCacheFileBytes = uint64_t{64} << 20;

// One packed file as the last build read and packed it.
struct CachedFile {
  std::string name;
  FileStamp stamp;
  bool digested = false;  // taken only of files changed just before that build
  ContentDigest digest{};
  uint64_t recordOffset = 0;
  EntryRecord record;
  uint32_t blockCheck = 0;
};

// One package as its last build made it.
struct CachedPackage {
  std::string fingerprint;
  std::string path;
  FileStamp stamp;
  uint32_t indexStoredSize = 0;
  ContentDigest indexDigest{};
  int64_t readFrom = 0;
  std::vector<CachedFile> files;
};

// The file's bytes; false, saying why, when the system could not hash them.
bool EncodeCache(const CachedPackage& cached, std::string* bytes, std::string* err);

// The package the bytes describe; false, saying why, for anything but a
// whole, sound file of this layout.
bool DecodeCache(const std::string& bytes, CachedPackage* cached, std::string* fault);

// The full path of the package that a cache file describes, from the file's
// first bytes alone; false when they are not those of a cache file of this
// layout. kCachePrefixBytes hold the header, a fingerprint and any path a
// system gives.
bool DecodeCachedPath(const std::string& prefix, std::string* path);
constexpr size_t kCachePrefixBytes = 16 << 10;

}  // namespace nv
