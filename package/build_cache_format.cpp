// Writing and reading the build cache's file, field by field.
#include "package/build_cache_format.h"

#include <algorithm>
#include <set>

#include "package/little_endian.h"

namespace nv {

namespace {

constexpr char kMagic[] = "NVTCACHE";
constexpr size_t kMagicSize = sizeof kMagic - 1;
constexpr uint32_t kLayoutVersion = 1;
constexpr size_t kStampSize = 40;
constexpr size_t kDigestSize = 32;
// A file's fields but its name's bytes.
constexpr size_t kFileFixedSize = 2 + kStampSize + 1 + kDigestSize + 8 + 12 + 4;

class Writer {
 public:
  void U8(uint8_t v) { Put(v, 1); }
  void U16(uint16_t v) { Put(v, 2); }
  void U32(uint32_t v) { Put(v, 4); }
  void U64(uint64_t v) { Put(v, 8); }
  void I64(int64_t v) { U64(static_cast<uint64_t>(v)); }
  void Bytes(const void* data, size_t size) { m_out.append(static_cast<const char*>(data), size); }
  void Text(const std::string& text) {
    U32(static_cast<uint32_t>(text.size()));
    Bytes(text.data(), text.size());
  }
  void Stamp(const FileStamp& s) {
    U64(s.size);
    I64(s.modified);
    I64(s.changed);
    U64(s.identity.device);
    U64(s.identity.file);
  }
  void Digest(const ContentDigest& d) { Bytes(d.data(), d.size()); }
  std::string& Out() { return m_out; }

 private:
  void Put(uint64_t v, size_t width) {
    uint8_t bytes[8];
    PutLe64(bytes, v);
    Bytes(bytes, width);
  }

  std::string m_out;
};

// Reads fields from the front of the bytes; once one would run past the
// end, every later one fails too.
class Reader {
 public:
  explicit Reader(const std::string& bytes) : m_bytes(bytes) {}

  bool Take(size_t size, const uint8_t** at) {
    if (!m_ok || size > m_bytes.size() - m_at) return m_ok = false;
    *at = reinterpret_cast<const uint8_t*>(m_bytes.data()) + m_at;
    m_at += size;
    return true;
  }
  uint64_t Number(size_t width) {
    const uint8_t* at = nullptr;
    if (!Take(width, &at)) return 0;
    uint8_t bytes[8] = {};
    std::copy(at, at + width, bytes);
    return GetLe64(bytes);
  }
  uint8_t U8() { return static_cast<uint8_t>(Number(1)); }
  uint16_t U16() { return static_cast<uint16_t>(Number(2)); }
  uint32_t U32() { return static_cast<uint32_t>(Number(4)); }
  uint64_t U64() { return Number(8); }
  int64_t I64() { return static_cast<int64_t>(Number(8)); }
  std::string Bytes(size_t size) {
    const uint8_t* at = nullptr;
    return Take(size, &at) ? std::string(reinterpret_cast<const char*>(at), size) : std::string();
  }
  std::string Text() { return Bytes(U32()); }
  FileStamp Stamp() {
    FileStamp s;
    s.size = U64();
    s.modified = I64();
    s.changed = I64();
    s.identity.device = U64();
    s.identity.file = U64();
    return s;
  }
  ContentDigest Digest() {
    ContentDigest d{};
    const uint8_t* at = nullptr;
    if (Take(d.size(), &at)) std::copy(at, at + d.size(), d.begin());
    return d;
  }
  size_t Left() const { return m_bytes.size() - m_at; }
  bool Ok() const { return m_ok; }

 private:
  const std::string& m_bytes;
  size_t m_at = 0;
  bool m_ok = true;
};

CachedFile ReadFile(Reader& in) {
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

bool ReadBody(Reader& in, CachedPackage* cached, std::string* fault) {
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
  Writer out;
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
  ContentDigest sum{};
  if (!HashContent(out.Out().data(), out.Out().size(), &sum, err)) return false;
  out.Digest(sum);
  *bytes = std::move(out.Out());
  return true;
}

bool DecodeCache(const std::string& bytes, CachedPackage* cached, std::string* fault) {
  *cached = CachedPackage();
  if (bytes.size() < kMagicSize + kDigestSize || bytes.compare(0, kMagicSize, kMagic) != 0) {
    *fault = "it is no build cache";
    return false;
  }
  const std::string body = bytes.substr(0, bytes.size() - kDigestSize);
  ContentDigest sum{};
  if (!HashContent(body.data(), body.size(), &sum, fault)) return false;
  if (bytes.compare(body.size(), kDigestSize, reinterpret_cast<const char*>(sum.data()),
                    kDigestSize) != 0) {
    *fault = "it is damaged: its checksum does not match";
    return false;
  }
  Reader in(body);
  in.Bytes(kMagicSize);
  return ReadBody(in, cached, fault);
}

bool DecodeCachedPath(const std::string& prefix, std::string* path) {
  Reader in(prefix);
  if (in.Bytes(kMagicSize) != kMagic || in.U32() != kLayoutVersion) return false;
  in.Text();  // the fingerprint
  *path = in.Text();
  return in.Ok() && !path->empty();
}

}  // namespace nv
