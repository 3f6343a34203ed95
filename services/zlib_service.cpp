// IZlib: zlib streams made with libdeflate, which deflates about twice as
// fast as zlib at the same level. Data that deflate would not shrink is put
// in stored blocks: still a zlib stream any reader inflates, and quicker to
// inflate than a deflated one.
#include <libdeflate.h>

#include <algorithm>
#include <mutex>
#include <new>
#include <vector>

#include "services/compressed_formats.h"
#include "services/deflate_piece.h"
#include "services/ref_counted.h"
#include "services/services.h"
#include "services/task_memory.h"
#include "services/zlib_stream_bound.h"

namespace nv {

namespace {

// libdeflate's level 5 packs theme folders as small as zip does at zlib's
// level 6 (within 0.7 %) in about half the time of its own level 6.
constexpr int kLevel = 5;
constexpr int kStoredLevel = 0;  // stored blocks only
constexpr size_t kSample = 64 << 10;
// A file of a compressed format this large or larger is asked whether it
// shrinks, by a sample of this size.
constexpr size_t kAskedCompressed = 32 << 10;
constexpr size_t kCompressedSample = 16 << 10;

// A compressor serves one thread at a time, so each call takes one of its
// own from the pool and gives it back.
class CompressorPool {
 public:
  explicit CompressorPool(int level) : m_level(level) {}
  ~CompressorPool() {
    for (libdeflate_compressor* c : m_free) libdeflate_free_compressor(c);
  }

  libdeflate_compressor* Take() {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      if (!m_free.empty()) {
        libdeflate_compressor* c = m_free.back();
        m_free.pop_back();
        return c;
      }
    }
    return libdeflate_alloc_compressor(m_level);
  }

  void Give(libdeflate_compressor* c) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_free.push_back(c);
  }

  // The zlib stream of `in`, or its bare deflate data, in at most `room`
  // bytes; 0 when it does not fit or no compressor could be had.
  size_t Compress(const uint8_t* in, size_t n, uint8_t* out, size_t room, bool bare = false) {
    libdeflate_compressor* c = Take();
    if (!c) return 0;
    size_t size = bare ? libdeflate_deflate_compress(c, in, n, out, room)
                       : libdeflate_zlib_compress(c, in, n, out, room);
    Give(c);
    return size;
  }

 private:
  int m_level;
  std::mutex m_mutex;
  std::vector<libdeflate_compressor*> m_free;
};

class ZlibService : public RefCounted<IZlib> {
 public:
  int32_t Compress(const uint8_t* input, uint32_t inputLength, uint8_t** output,
                   uint32_t* outputLength) override {
    return Make(input, inputLength, Form::kStream, output, outputLength);
  }

  int32_t CompressPiece(const uint8_t* input, uint32_t inputLength, bool last, uint8_t** output,
                        uint32_t* outputLength) override {
    return Make(input, inputLength, last ? Form::kLastPiece : Form::kPiece, output, outputLength);
  }

 private:
  static constexpr uint64_t kZlibFraming = 2 + 4;  // header and Adler-32

  // A whole zlib stream, or bare deflate data to be joined with others:
  // continued unless it is the last piece.
  enum class Form { kStream, kPiece, kLastPiece };

  int32_t Make(const uint8_t* input, uint32_t inputLength, Form form, uint8_t** output,
               uint32_t* outputLength) {
    if (output) *output = nullptr;
    if (outputLength) *outputLength = 0;
    if (!output || !outputLength || (!input && inputLength)) return kKestInvalidArgument;
    const bool bare = form != Form::kStream;
    const size_t continuation = form == Form::kPiece ? kContinuationBytes : 0;
    const uint64_t stored = ZlibStreamBound(inputLength) - (bare ? kZlibFraming : 0);
    if (stored + continuation > UINT32_MAX) return kKestTooLarge;
    // libdeflate wants some slack beyond what it writes: room for its bound.
    const size_t bound = bare ? libdeflate_deflate_compress_bound(nullptr, inputLength)
                              : libdeflate_zlib_compress_bound(nullptr, inputLength);
    const size_t room = std::max<size_t>(stored, bound) + continuation;
    TaskMemPtr<uint8_t> buffer(static_cast<uint8_t*>(TaskMemAlloc(room)));
    if (!buffer) return kKestOutOfMemory;
    static const uint8_t kEmpty = 0;
    const uint8_t* in = input ? input : &kEmpty;
    size_t size = 0;
    if (WorthDeflating(in, inputLength))
      size = m_deflate.Compress(in, inputLength, buffer.get(), room, bare);
    if (size >= stored) size = 0;  // deflating did not shrink it
    if (size == 0) size = m_store.Compress(in, inputLength, buffer.get(), room, bare);
    if (size == 0) return kKestOutOfMemory;  // the only way stored blocks fail
    if (form == Form::kPiece && !ContinueDeflateData(buffer.get(), &size)) return kKestFailed;
    *output = buffer.release();
    *outputLength = static_cast<uint32_t>(size);
    return kKestOk;
  }

  // Data whose middle does not shrink by a few percent at the fastest level
  // is not worth it. A file of a compressed format seldom shrinks, so a small
  // one is stored unasked; but JPEG and PNG files are also saved with little
  // or no compression, which deflate shrinks as zip would, so a larger one
  // is asked too.
  bool WorthDeflating(const uint8_t* in, size_t n) {
    const bool compressed = LooksCompressed(in, n);
    if (compressed && n < kAskedCompressed) return false;
    if (!compressed && n < 4 * kSample) return true;
    const size_t sample = compressed ? kCompressedSample : kSample;
    std::vector<uint8_t> out(sample);
    return m_probe.Compress(in + n / 2 - sample / 2, sample, out.data(), sample * 97 / 100) != 0;
  }

  CompressorPool m_deflate{kLevel};
  CompressorPool m_store{kStoredLevel};
  CompressorPool m_probe{1};
};

}  // namespace

IZlib* NewZlibService() { return new (std::nothrow) ZlibService; }

}  // namespace nv
