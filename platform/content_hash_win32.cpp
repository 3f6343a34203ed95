// SHA-256 on Windows: the system's BCrypt, so that nothing of a hash
// library has to be built for it.
#include "platform/content_hash.h"

#include <windows.h>
#include <bcrypt.h>

#include <algorithm>
#include <cstdio>

namespace nv {

namespace {

std::string Status(const char* what, NTSTATUS status) {
  char text[64];
  std::snprintf(text, sizeof text, "%s: status 0x%08lX", what, static_cast<unsigned long>(status));
  return text;
}

// One provider for every hash, opened once: opening it is the slow part.
BCRYPT_ALG_HANDLE Provider(NTSTATUS* status) {
  static NTSTATUS opened = 0;
  static BCRYPT_ALG_HANDLE provider = [] {
    BCRYPT_ALG_HANDLE h = nullptr;
    opened = BCryptOpenAlgorithmProvider(&h, BCRYPT_SHA256_ALGORITHM, nullptr, 0);
    return BCRYPT_SUCCESS(opened) ? h : nullptr;
  }();
  *status = opened;
  return provider;
}

}  // namespace

struct ContentHash::State {
  BCRYPT_HASH_HANDLE hash = nullptr;
  std::string fault;  // the first call that failed
};

ContentHash::ContentHash() : m_state(std::make_unique<State>()) {
  NTSTATUS status = 0;
  BCRYPT_ALG_HANDLE provider = Provider(&status);
  if (!provider) {
    m_state->fault = Status("BCryptOpenAlgorithmProvider", status);
    return;
  }
  status = BCryptCreateHash(provider, &m_state->hash, nullptr, 0, nullptr, 0, 0);
  if (!BCRYPT_SUCCESS(status)) {
    m_state->hash = nullptr;
    m_state->fault = Status("BCryptCreateHash", status);
  }
}

ContentHash::~ContentHash() {
  if (m_state->hash) BCryptDestroyHash(m_state->hash);
}

// BCryptHashData takes 32-bit counts.
void ContentHash::Add(const void* data, size_t size) {
  const auto* at = static_cast<const uint8_t*>(data);
  while (m_state->fault.empty() && size > 0) {
    const ULONG n = static_cast<ULONG>(std::min<size_t>(size, 1u << 30));
    const NTSTATUS status = BCryptHashData(m_state->hash, const_cast<PUCHAR>(at), n, 0);
    if (!BCRYPT_SUCCESS(status)) m_state->fault = Status("BCryptHashData", status);
    at += n;
    size -= n;
  }
}

bool ContentHash::Finish(ContentDigest* digest, std::string* err) {
  if (m_state->fault.empty()) {
    const NTSTATUS status =
        BCryptFinishHash(m_state->hash, digest->data(), static_cast<ULONG>(digest->size()), 0);
    if (!BCRYPT_SUCCESS(status)) m_state->fault = Status("BCryptFinishHash", status);
  }
  *err = m_state->fault;
  return m_state->fault.empty();
}

}  // namespace nv
