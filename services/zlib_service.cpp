// IZlib: zlib's one-shot compression at its default level.
#include <zlib.h>

#include <new>

#include "services/ref_counted.h"
#include "services/services.h"
#include "services/task_memory.h"

namespace nv {

namespace {

// zlib's own bound, in 64 bits: uLong is 32 bits wide on Windows, where
// compressBound would wrap for inputs close to 4 GiB.
uint64_t CompressBound64(uint64_t n) { return n + (n >> 12) + (n >> 14) + (n >> 25) + 13; }

class ZlibService : public RefCounted<IZlib> {
 public:
  int32_t Compress(const uint8_t* input, uint32_t inputLength, uint8_t** output,
                   uint32_t* outputLength) override {
    if (output) *output = nullptr;
    if (outputLength) *outputLength = 0;
    if (!output || !outputLength || (!input && inputLength)) return kKestInvalidArgument;
    uint64_t bound = CompressBound64(inputLength);
    if (bound > UINT32_MAX) return kKestTooLarge;
    TaskMemPtr<uint8_t> buffer(static_cast<uint8_t*>(TaskMemAlloc(bound)));
    if (!buffer) return kKestOutOfMemory;
    uLongf length = static_cast<uLongf>(bound);
    static const Bytef kEmpty = 0;
    int z = compress2(buffer.get(), &length, input ? input : &kEmpty, inputLength,
                      Z_DEFAULT_COMPRESSION);
    if (z == Z_MEM_ERROR) return kKestOutOfMemory;
    if (z != Z_OK) return kKestFailed;
    *output = buffer.release();
    *outputLength = static_cast<uint32_t>(length);
    return kKestOk;
  }
};

}  // namespace

IZlib* NewZlibService() { return new (std::nothrow) ZlibService; }

}  // namespace nv
