// The fields of the build cache's files, written and read one after
// another, little-endian, and the SHA-256 that seals each file: one that is
// damaged or cut short does not pass for what was written.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "package/little_endian.h"
#include "platform/content_hash.h"
#include "platform/file_system.h"

namespace nv {

// A stamp's fields: size u64, modified i64, changed i64, device u64, file u64.
constexpr size_t kStampFieldsSize = 40;
// A SHA-256.
constexpr size_t kDigestFieldSize = 32;

class FieldWriter {
 public:
  void U8(uint8_t v) { Put(v, 1); }
  void U16(uint16_t v) { Put(v, 2); }
  void U32(uint32_t v) { Put(v, 4); }
  void U64(uint64_t v) { Put(v, 8); }
  void I64(int64_t v) { U64(static_cast<uint64_t>(v)); }
  void Bytes(const void* data, size_t size) { m_out.append(static_cast<const char*>(data), size); }
  // Its length, u32, then its bytes.
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
class FieldReader {
 public:
  explicit FieldReader(const std::string& bytes) : m_bytes(bytes) {}

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

// Appends the SHA-256 of the bytes written; false, saying why, when the
// system could not hash them.
bool SealFields(FieldWriter* out, std::string* err);

// The bytes before the seal, when the bytes end in the SHA-256 of those
// before it; false, saying why, when they do not or could not be hashed.
bool Unseal(const std::string& bytes, std::string* body, std::string* fault);

// As Unseal, for a file that opens with `magic`: false, with `notOne` as
// the fault, for bytes that do not, or are too few to be sealed.
bool UnsealFile(const std::string& bytes, const std::string& magic, const char* notOne,
                std::string* body, std::string* fault);

}  // namespace nv
