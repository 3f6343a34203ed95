// SHA-256 of a file's content, from the system's own library: what tells
// content that stayed the same from content that changed, however its file
// was touched.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace nv {

using ContentDigest = std::array<uint8_t, 32>;

class ContentHash {
 public:
  ContentHash();
  ~ContentHash();
  ContentHash(const ContentHash&) = delete;
  ContentHash& operator=(const ContentHash&) = delete;

  void Add(const void* data, size_t size);
  // The digest of all that was added; false, with the system's words, when
  // the system could not hash.
  bool Finish(ContentDigest* digest, std::string* err);

 private:
  struct State;
  std::unique_ptr<State> m_state;
};

// The digest of one buffer.
inline bool HashContent(const void* data, size_t size, ContentDigest* digest, std::string* err) {
  ContentHash hash;
  hash.Add(data, size);
  return hash.Finish(digest, err);
}

}  // namespace nv
