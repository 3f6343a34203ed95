#include "package/package_entry.h"

#include <gtest/gtest.h>

#include "services/zlib_stream_bound.h"
#include "testing/memory_file_system.h"

namespace nv {
namespace {

using Op = MemoryFileSystem::Op;

// The largest file whose stream surely fits a 32-bit length: its stored
// stream is exactly 4 GiB - 1 bytes long.
constexpr uint64_t kLargestPackable = 4294639624u;
static_assert(ZlibStreamBound(kLargestPackable) == UINT32_MAX, "the last size that fits");

// A file whose stream might not fit is refused from its size, without a byte
// of it read: reading a file of nearly 4 GiB only to fail would take a
// minute and all its size in memory.
TEST(PackageEntryTest, FileWhoseStreamMightNotFitIsRefusedUnread) {
  ServiceRef<IZlib> zlib;
  KestCreateInstance(u"KestRTU.dll", u"IZlib", zlib.Put());
  MemoryFileSystem fs;
  fs.AddFile("big.png", "small here");
  int reads = 0;
  fs.before = [&](Op op, const std::string&) { return op != Op::Read || (++reads, false); };
  for (uint64_t size : {kLargestPackable + 1, uint64_t{UINT32_MAX} - 100, uint64_t{UINT32_MAX},
                        uint64_t{1} << 32, uint64_t{1} << 40}) {
    SCOPED_TRACE(size);
    fs.SetApparentSize("big.png", size);
    const Entry entry = ProduceFileEntry(fs, *zlib.get(), "big.png", 7);
    EXPECT_EQ(FileFault::kTooLarge, entry.fault);
    EXPECT_EQ(0, reads);
    EXPECT_EQ(0, fs.OpenFiles());
  }
}

}  // namespace
}  // namespace nv
