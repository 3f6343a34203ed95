// The seal of the build cache's files.
#include "package/cache_fields.h"

namespace nv {

bool SealFields(FieldWriter* out, std::string* err) {
  ContentDigest sum{};
  if (!HashContent(out->Out().data(), out->Out().size(), &sum, err)) return false;
  out->Digest(sum);
  return true;
}

bool Unseal(const std::string& bytes, std::string* body, std::string* fault) {
  if (bytes.size() < kDigestFieldSize) {
    *fault = "it is cut short";
    return false;
  }
  const size_t size = bytes.size() - kDigestFieldSize;
  ContentDigest sum{};
  if (!HashContent(bytes.data(), size, &sum, fault)) return false;
  if (bytes.compare(size, kDigestFieldSize, reinterpret_cast<const char*>(sum.data()),
                    kDigestFieldSize) != 0) {
    *fault = "it is damaged: its checksum does not match";
    return false;
  }
  *body = bytes.substr(0, size);
  return true;
}

bool UnsealFile(const std::string& bytes, const std::string& magic, const char* notOne,
                std::string* body, std::string* fault) {
  if (bytes.size() < magic.size() + kDigestFieldSize ||
      bytes.compare(0, magic.size(), magic) != 0) {
    *fault = notOne;
    return false;
  }
  return Unseal(bytes, body, fault);
}

}  // namespace nv
