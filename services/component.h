// The component library's contract: reference-counted services created by
// module and interface name through KestCreateInstance.
#pragma once

#include <cstdint>

namespace nv {

// Result values of the component calls; 0 is success.
enum KestResult : int32_t {
  kKestOk = 0,
  kKestNoModule = -1,     // no module of that name
  kKestNoInterface = -2,  // the module has no interface of that name
  kKestInvalidArgument = -3,
  kKestOutOfMemory = -4,
  kKestTooLarge = -5,  // the output would not fit a 32-bit length
  kKestFailed = -6,    // the library underneath reported an error
};

// Words for a result value, for messages.
const char* DescribeKestResult(int32_t result);

class IKestUnknown {
 public:
  virtual uint32_t AddRef() = 0;
  // Gives up one reference; the service destroys itself with the last one.
  virtual uint32_t Release() = 0;

 protected:
  virtual ~IKestUnknown() = default;
};

class IZlib : public IKestUnknown {
 public:
  // Compresses input into a zlib stream (RFC 1950) in a new buffer. *output
  // and *outputLength are set on success and left null and 0 otherwise; the
  // caller frees the buffer with TaskMemFree.
  virtual int32_t Compress(const uint8_t* input, uint32_t inputLength, uint8_t** output,
                           uint32_t* outputLength) = 0;

  // Compresses one piece of a larger input into deflate data (RFC 1951)
  // that ends on a byte boundary and, unless `last`, holds no final block,
  // in a new buffer as Compress makes it. Pieces made apart, on any threads,
  // and joined in order after a zlib header, followed by the Adler-32 of all
  // the input, make one zlib stream of it.
  virtual int32_t CompressPiece(const uint8_t* input, uint32_t inputLength, bool last,
                                uint8_t** output, uint32_t* outputLength) = 0;
};

class IStringUtil : public IKestUnknown {
 public:
  // Converts 8-bit text read as ISO 8859-1 into UTF-8, in a new buffer that
  // the caller frees with TaskMemFree: bytes below 0x80 are copied, each
  // byte from 0x80 becomes the two bytes of the same code point.
  virtual int32_t TransformBuffer(const uint8_t* input, uint32_t inputLength, uint8_t** output,
                                  uint32_t* outputLength) = 0;
};

// Creates a service of `module` ("KestRTU.dll", in any letter case) by its
// interface name ("IZlib", "IStringUtil") and stores it in *object with one
// reference. On failure *object is null.
int32_t KestCreateInstance(const char16_t* module, const char16_t* interfaceName, void** object);

// The factory's type, for code that is handed the factory to call (a test
// hands it one that fails).
using KestFactory = int32_t (*)(const char16_t* module, const char16_t* interfaceName,
                                void** object);

// Holds one reference to a service and gives it up when destroyed. An empty
// holder is never called through: callers test it first.
template <typename T>
class ServiceRef {
 public:
  ServiceRef() = default;
  ServiceRef(const ServiceRef&) = delete;
  ServiceRef& operator=(const ServiceRef&) = delete;
  ~ServiceRef() { Reset(); }

  T* get() const { return m_service; }
  T* operator->() const { return m_service; }
  explicit operator bool() const { return m_service != nullptr; }

  void Reset() {
    if (m_service) m_service->Release();
    m_service = nullptr;
  }
  // The place KestCreateInstance fills; whatever was held is released first.
  void** Put() {
    Reset();
    return reinterpret_cast<void**>(&m_service);
  }

 private:
  T* m_service = nullptr;
};

}  // namespace nv
