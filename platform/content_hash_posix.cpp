// SHA-256 on POSIX systems: nettle's, which uses the processor's SHA
// instructions where it has them.
#include "platform/content_hash.h"

#include <nettle/sha2.h>

namespace nv {

struct ContentHash::State {
  sha256_ctx context;
};

ContentHash::ContentHash() : m_state(std::make_unique<State>()) { sha256_init(&m_state->context); }

ContentHash::~ContentHash() = default;

void ContentHash::Add(const void* data, size_t size) {
  sha256_update(&m_state->context, size, static_cast<const uint8_t*>(data));
}

bool ContentHash::Finish(ContentDigest* digest, std::string*) {
  sha256_digest(&m_state->context, digest->size(), digest->data());
  return true;
}

}  // namespace nv
