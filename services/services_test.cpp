#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

#include "services/component.h"
#include "services/task_memory.h"
#include "services/zlib_stream_bound.h"

namespace nv {
namespace {

TEST(KestCreateInstanceTest, MakesKnownServicesWithOneReference) {
  void* zlib = nullptr;
  ASSERT_EQ(kKestOk, KestCreateInstance(u"KestRTU.dll", u"IZlib", &zlib));
  ASSERT_NE(nullptr, zlib);
  auto* z = static_cast<IZlib*>(zlib);
  EXPECT_EQ(2u, z->AddRef());
  EXPECT_EQ(1u, z->Release());
  EXPECT_EQ(0u, z->Release());

  ServiceRef<IStringUtil> util;
  EXPECT_EQ(kKestOk, KestCreateInstance(u"kestrtu.DLL", u"IStringUtil", util.Put()));
  EXPECT_TRUE(util);
}

TEST(KestCreateInstanceTest, UnknownNamesLeaveThePointerEmpty) {
  struct Case {
    const char16_t* module;
    const char16_t* name;
    int32_t result;
  };
  const Case cases[] = {
      {u"KestBase.dll", u"IZlib", kKestNoModule},   {u"KestRTU", u"IZlib", kKestNoModule},
      {u"KestRTU.dll", u"izlib", kKestNoInterface}, {u"KestRTU.dll", u"IUnknown", kKestNoInterface},
      {u"KestRTU.dll", u"", kKestNoInterface},      {nullptr, u"IZlib", kKestInvalidArgument},
  };
  for (const Case& c : cases) {
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(c.result, KestCreateInstance(c.module, c.name, &object));
    EXPECT_EQ(nullptr, object);
  }
}

std::string Inflate(const uint8_t* data, uint32_t size, size_t originalSize) {
  std::string out(originalSize, '\0');
  uLongf length = static_cast<uLongf>(originalSize);
  int z = uncompress(reinterpret_cast<Bytef*>(&out[0]), &length, data, size);
  EXPECT_EQ(Z_OK, z);
  out.resize(length);
  return out;
}

TEST(ZlibServiceTest, CompressGivesAZlibStreamTheCallerOwns) {
  ServiceRef<IZlib> zlib;
  KestCreateInstance(u"KestRTU.dll", u"IZlib", zlib.Put());
  for (const std::string& input : {std::string(), std::string("a"), std::string(100000, 'z')}) {
    uint8_t* out = nullptr;
    uint32_t outLength = 0;
    ASSERT_EQ(kKestOk, zlib->Compress(reinterpret_cast<const uint8_t*>(input.data()),
                                      static_cast<uint32_t>(input.size()), &out, &outLength));
    TaskMemPtr<uint8_t> owned(out);
    ASSERT_GE(outLength, 2u);
    EXPECT_EQ(0x78, out[0]);  // zlib header: deflate, 32 KiB window
    EXPECT_EQ(input, Inflate(out, outLength, input.size()));
  }
}

// A zlib stream whose deflate blocks are all stored (block type 0).
bool AllStored(const uint8_t* data, uint32_t size) {
  uint32_t at = 2;
  for (;;) {
    if (at + 5 > size || (data[at] & 0x06) != 0) return false;
    bool last = data[at] & 1;
    uint32_t length = data[at + 1] | data[at + 2] << 8;
    at += 5 + length;
    if (last) return at + 4 == size;
  }
}

struct Compressed {
  TaskMemPtr<uint8_t> data;
  uint32_t size = 0;
};

Compressed CompressWith(IZlib* zlib, const std::string& input) {
  uint8_t* out = nullptr;
  Compressed c;
  EXPECT_EQ(kKestOk, zlib->Compress(reinterpret_cast<const uint8_t*>(input.data()),
                                    static_cast<uint32_t>(input.size()), &out, &c.size));
  c.data.reset(out);
  EXPECT_EQ(input, Inflate(out, c.size, input.size()));
  return c;
}

std::string Noise(size_t n, uint32_t seed) {
  std::string s(n, '\0');
  for (char& c : s) {
    seed = seed * 1664525u + 1013904223u;
    c = static_cast<char>(seed >> 24);
  }
  return s;
}

TEST(ZlibServiceTest, StoresWhatDeflateWouldNotShrink) {
  ServiceRef<IZlib> zlib;
  KestCreateInstance(u"KestRTU.dll", u"IZlib", zlib.Put());
  struct Case {
    const char* name;
    std::string input;
    bool stored;
  };
  const std::string png(std::string("\x89PNG\r\n\x1a\n", 8));
  const std::string jpeg("\xFF\xD8\xFF\xE0", 4);
  const Case cases[] = {
      {"empty", "", true},
      {"small noise", Noise(1000, 1), true},
      {"large noise", Noise(300000, 2), true},
      {"small png, however compressible", png + std::string(30000, 'a'), true},
      // As an image saved with little or no compression: zip would shrink it.
      {"larger png that deflate shrinks", png + std::string(70000, 'a'), false},
      {"larger jpeg of noise", jpeg + Noise(70000, 4), true},
      {"text", std::string(5000, 'x') + "layout", false},
      {"large text with a noisy middle",
       std::string(200000, 'y') + Noise(100000, 3) + std::string(200000, 'y'), true},
  };
  for (const Case& c : cases) {
    Compressed out = CompressWith(zlib.get(), c.input);
    EXPECT_EQ(c.stored, AllStored(out.data.get(), out.size)) << c.name;
    if (c.stored) {
      // The header, a 5-byte head per 65535 bytes, the data, the checksum.
      size_t blocks = c.input.empty() ? 1 : (c.input.size() + 65534) / 65535;
      EXPECT_EQ(2 + 5 * blocks + c.input.size() + 4, out.size) << c.name;
    }
    // What callers are told to expect at most, before they read the data.
    EXPECT_EQ(c.stored, ZlibStreamBound(c.input.size()) == out.size) << c.name;
    EXPECT_GE(ZlibStreamBound(c.input.size()), out.size) << c.name;
  }
}

// Pieces compressed apart and joined behind a zlib header, with the
// Adler-32 of them all, inflate as one stream to all of them. Text pieces of
// many lengths end their data at every bit of a byte.
TEST(ZlibServiceTest, PiecesJoinIntoOneStream) {
  ServiceRef<IZlib> zlib;
  KestCreateInstance(u"KestRTU.dll", u"IZlib", zlib.Put());
  std::vector<std::string> texts;
  for (int n = 1; n <= 40; ++n) texts.push_back("layout " + std::string(n * 7, 'a' + n % 26));
  const std::vector<std::string> cases[] = {
      {"one piece alone"},
      {std::string(300000, 'y'), Noise(300000, 4), std::string(70000, 'z')},
      texts,
      {"", "after an empty piece"},
      {"before an empty last piece", ""},
  };
  for (const std::vector<std::string>& pieces : cases) {
    std::string stream = "\x78\x5E", all;
    for (size_t i = 0; i < pieces.size(); ++i) {
      uint8_t* out = nullptr;
      uint32_t length = 0;
      ASSERT_EQ(kKestOk, zlib->CompressPiece(reinterpret_cast<const uint8_t*>(pieces[i].data()),
                                             static_cast<uint32_t>(pieces[i].size()),
                                             i + 1 == pieces.size(), &out, &length));
      TaskMemPtr<uint8_t> owned(out);
      stream.append(reinterpret_cast<const char*>(out), length);
      all += pieces[i];
    }
    const uLong adler =
        adler32(1, reinterpret_cast<const Bytef*>(all.data()), static_cast<uInt>(all.size()));
    for (int shift = 24; shift >= 0; shift -= 8) stream += static_cast<char>(adler >> shift);
    EXPECT_EQ(all, Inflate(reinterpret_cast<const uint8_t*>(stream.data()),
                           static_cast<uint32_t>(stream.size()), all.size()))
        << pieces.size() << " pieces";
  }
}

TEST(ZlibServiceTest, RejectsMissingPlaces) {
  ServiceRef<IZlib> zlib;
  KestCreateInstance(u"KestRTU.dll", u"IZlib", zlib.Put());
  uint32_t length = 7;
  EXPECT_EQ(kKestInvalidArgument, zlib->Compress(nullptr, 1, nullptr, &length));
  uint8_t* out = nullptr;
  EXPECT_EQ(kKestInvalidArgument, zlib->Compress(nullptr, 5, &out, &length));
  EXPECT_EQ(nullptr, out);
  EXPECT_EQ(0u, length);
}

TEST(StringUtilServiceTest, TransformBufferTurnsLatin1IntoUtf8) {
  ServiceRef<IStringUtil> util;
  KestCreateInstance(u"KestRTU.dll", u"IStringUtil", util.Put());
  const std::string input = "caf\xE9 \x80\xFF!";
  uint8_t* out = nullptr;
  uint32_t length = 0;
  ASSERT_EQ(kKestOk, util->TransformBuffer(reinterpret_cast<const uint8_t*>(input.data()),
                                           static_cast<uint32_t>(input.size()), &out, &length));
  TaskMemPtr<uint8_t> owned(out);
  EXPECT_EQ("caf\xC3\xA9 \xC2\x80\xC3\xBF!", std::string(reinterpret_cast<char*>(out), length));
}

TEST(ServiceRefTest, ReleasesItsReferenceOnce) {
  void* raw = nullptr;
  KestCreateInstance(u"KestRTU.dll", u"IZlib", &raw);
  auto* zlib = static_cast<IZlib*>(raw);
  zlib->AddRef();
  {
    ServiceRef<IZlib> ref;
    *ref.Put() = zlib;
  }
  EXPECT_EQ(0u, zlib->Release());  // the holder gave up exactly its one reference
}

}  // namespace
}  // namespace nv
