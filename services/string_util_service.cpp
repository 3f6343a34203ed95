// IStringUtil: ISO 8859-1 text to UTF-8.
#include <new>

#include "services/ref_counted.h"
#include "services/services.h"
#include "services/task_memory.h"

namespace nv {

namespace {

class StringUtilService : public RefCounted<IStringUtil> {
 public:
  int32_t TransformBuffer(const uint8_t* input, uint32_t inputLength, uint8_t** output,
                          uint32_t* outputLength) override {
    if (output) *output = nullptr;
    if (outputLength) *outputLength = 0;
    if (!output || !outputLength || (!input && inputLength)) return kKestInvalidArgument;
    uint64_t length = inputLength;
    for (uint32_t i = 0; i < inputLength; ++i) length += input[i] >> 7;
    if (length > UINT32_MAX) return kKestTooLarge;
    auto* out = static_cast<uint8_t*>(TaskMemAlloc(length));
    if (!out) return kKestOutOfMemory;
    uint8_t* p = out;
    for (uint32_t i = 0; i < inputLength; ++i) {
      uint8_t c = input[i];
      if (c < 0x80) {
        *p++ = c;
      } else {
        *p++ = static_cast<uint8_t>(0xC0 | (c >> 6));
        *p++ = static_cast<uint8_t>(0x80 | (c & 0x3F));
      }
    }
    *output = out;
    *outputLength = static_cast<uint32_t>(length);
    return kKestOk;
  }
};

}  // namespace

IStringUtil* NewStringUtilService() { return new (std::nothrow) StringUtilService; }

}  // namespace nv
