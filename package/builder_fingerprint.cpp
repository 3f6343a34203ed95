// The builder's fingerprint. The code that makes blocks is known by a
// digest of its source, which the build gives as NV_PACKING_CODE.
#include "package/builder_fingerprint.h"

#include <string>

#include "package/fresh_token.h"
#include "package/pieced_block.h"
#include "platform/content_hash.h"
#include "services/task_memory.h"

namespace nv {

namespace {

// What the compressor makes of a few contents: text that deflates, whole
// and in pieces; bytes that do not, just past the size at which the
// compressor samples them first; and a PNG. Another library, level or rule
// makes other bytes. Kept small: every build with the cache makes them.
bool CompressorDigest(IZlib& zlib, ContentDigest* digest, std::string* err) {
  std::string text, noise;
  for (int i = 0; text.size() < (16 << 10); ++i) text += "<file id=\"" + std::to_string(i) + "\"/>";
  uint32_t state = 1;
  for (size_t i = 0; i < (257 << 10); ++i) {
    state = state * 1103515245 + 12345;
    noise += static_cast<char>(state >> 24);
  }
  std::string png = std::string("\x89PNG\r\n\x1a\n", 8) + text.substr(0, 4096);
  ContentHash hash;
  auto add = [&](int32_t result, uint8_t* output, uint32_t length) {
    TaskMemPtr<uint8_t> owned(output);
    hash.Add(&result, sizeof result);
    hash.Add(owned.get(), length);
  };
  const auto in = [](const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); };
  const auto size = [](const std::string& s) { return static_cast<uint32_t>(s.size()); };
  uint8_t* output = nullptr;
  uint32_t length = 0;
  for (const std::string* content : {&text, &noise, &png})
    add(zlib.Compress(in(*content), size(*content), &output, &length), output, length);
  for (bool last : {false, true})
    add(zlib.CompressPiece(in(text), size(text), last, &output, &length), output, length);
  return hash.Finish(digest, err);
}

}  // namespace

bool BuilderFingerprint(const std::string& builder, IZlib& zlib, std::string* fingerprint,
                        std::string* err) {
  ContentDigest digest{};
  if (!CompressorDigest(zlib, &digest, err)) return false;
  uint64_t head = 0;
  for (int i = 0; i < 8; ++i) head = head << 8 | digest[i];
  *fingerprint = builder + "; compressor " + TokenDigits(head) + "; packing code " +
                 NV_PACKING_CODE + "; pieces of " + std::to_string(kPieceSize) + " bytes";
  return true;
}

}  // namespace nv
