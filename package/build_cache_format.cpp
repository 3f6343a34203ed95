// Writing and reading the build cache's file, field by field.
#include "package/build_cache_format.h"

#include <algorithm>
#include <set>

#include "package/cache_fields.h"

namespace nv {

namespace {

constexpr char kMagic[] = "NVTCACHE";
constexpr size_t kMagicSize = sizeof kMagic - 1;
constexpr uint32_t kLayoutVersion = 1;
// A file's fields but its name's bytes.
constexpr size_t kFileFixedSize = 2 + kStampFieldsSize + 1 + kDigestFieldSize + 8 + 12 + 4;

CachedFile ReadFile(FieldReader& in) {
  CachedFile file;
  file.name = in.Bytes(in.U16());
  file.stamp = in.Stamp();
  file.digested = in.U8() != 0;
  file.digest = in.Digest();
  file.recordOffset = in.U64();
  file.record.entryId = static_cast<int32_t>(in.U32());
  file.record.storedSize = in.U32();
  file.record.originalSize = in.U32();
  file.blockCheck = in.U32();
  return file;
}

// Whether the records follow one another as the package's chain does: ids
// 1, 2, 3, ..., the first right after the index's block, each right after
// the block before it, the last block ending the package. Names are those
// of one folder: none empty, none twice.
bool FollowsTheChain(const CachedPackage& cached, std::string* fault) {
  uint64_t at = kPackageHeaderSize + kEntryRecordSize + uint64_t{cached.indexStoredSize};
  std::set<std::string> names;
  for (size_t i = 0; i < cached.files.size(); ++i) {
    const CachedFile& file = cached.files[i];
    if (file.name.empty() || !names.insert(file.name).second) {
      *fault = "a file name is empty or given twice";
      return false;
    }
    if (file.record.entryId != static_cast<int64_t>(i) + 1 || file.recordOffset != at) {
      *fault = "file " + std::to_string(i + 1) + " is not where the chain of records puts it";
      return false;
    }
    at += kEntryRecordSize + uint64_t{file.record.storedSize};
  }
  if (at != cached.stamp.size) {
    *fault = "the records do not end where the package ends";
    return false;
  }
  return true;
}

bool ReadBody(FieldReader& in, CachedPackage* cached, std::string* fault) {
  const uint32_t version = in.U32();
  if (in.Ok() && version != kLayoutVersion) {
    *fault = "layout version " + std::to_string(version) + " is not this program's";
    return false;
  }
  cached->fingerprint = in.Text();
  cached->path = in.Text();
  cached->stamp = in.Stamp();
  cached->indexStoredSize = in.U32();
  cached->indexDigest = in.Digest();
  cached->readFrom = in.I64();
  const uint32_t count = in.U32();
  // The count is a claim: no more files are made than the bytes can hold.
  if (!in.Ok() || count > in.Left() / kFileFixedSize) {
    *fault = "it is cut short";
    return false;
  }
  cached->files.reserve(count);
  for (uint32_t i = 0; i < count && in.Ok(); ++i) cached->files.push_back(ReadFile(in));
  if (!in.Ok() || in.Left() != 0) {
    *fault = in.Ok() ? "it has bytes past its end" : "it is cut short";
    return false;
  }
  return FollowsTheChain(*cached, fault);
}

}  // namespace

bool EncodeCache(const CachedPackage& cached, std::string* bytes, std::string* err) {
  FieldWriter out;
  out.Bytes(kMagic, kMagicSize);
  out.U32(kLayoutVersion);
  out.Text(cached.fingerprint);
  out.Text(cached.path);
  out.Stamp(cached.stamp);
  out.U32(cached.indexStoredSize);
  out.Digest(cached.indexDigest);
  out.I64(cached.readFrom);
  out.U32(static_cast<uint32_t>(cached.files.size()));
  for (const CachedFile& file : cached.files) {
    out.U16(static_cast<uint16_t>(file.name.size()));
    out.Bytes(file.name.data(), file.name.size());
    out.Stamp(file.stamp);
    out.U8(file.digested ? 1 : 0);
    out.Digest(file.digest);
    out.U64(file.recordOffset);
    out.U32(static_cast<uint32_t>(file.record.entryId));
    out.U32(file.record.storedSize);
    out.U32(file.record.originalSize);
    out.U32(file.blockCheck);
  }
  if (!SealFields(&out, err)) return false;
  *bytes = std::move(out.Out());
  return true;
}

bool DecodeCache(const std::string& bytes, CachedPackage* cached, std::string* fault) {
  *cached = CachedPackage();
  std::string body;
  if (!UnsealFile(bytes, kMagic, "it is no build cache", &body, fault)) return false;
  FieldReader in(body);
  in.Bytes(kMagicSize);
  return ReadBody(in, cached, fault);
}

bool DecodeCachedPath(const std::string& prefix, std::string* path) {
  FieldReader in(prefix);
  if (in.Bytes(kMagicSize) != kMagic || in.U32() != kLayoutVersion) return false;
  in.Text();  // the fingerprint
  *path = in.Text();
  return in.Ok() && !path->empty();
}

}  // namespace nv
