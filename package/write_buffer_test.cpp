// The write buffer: which writes reach the file, and when.
#include "package/write_buffer.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace nv {
namespace {

// Keeps each write apart.
class KeptWrites : public File {
 public:
  bool Write(const void* data, size_t size, std::string*) override {
    writes.emplace_back(static_cast<const char*>(data), size);
    return true;
  }
  // The buffer asks nothing else of the file.
  bool Read(void*, size_t, size_t*, std::string*) override { return false; }
  bool Size(uint64_t*, std::string*) override { return false; }
  bool Stamp(FileStamp*, std::string*) override { return false; }
  bool Seek(uint64_t, std::string*) override { return false; }
  bool Truncate(uint64_t, std::string*) override { return false; }
  bool Sync(std::string*) override { return false; }
  bool Close(std::string*) override { return false; }
  bool IsPrivate(std::string*) override { return false; }

  std::vector<std::string> writes;
};

std::vector<size_t> Sizes(const std::vector<std::string>& writes) {
  std::vector<size_t> sizes;
  for (const std::string& w : writes) sizes.push_back(w.size());
  return sizes;
}

// Writes of the sizes given, each of bytes of its own, to a buffer of 8:
// the file's writes before the flush, and those of the flush.
TEST(WriteBufferTest, GathersWhatFitsAndPassesOnWhatFillsIt) {
  const struct {
    const char* what;
    std::vector<size_t> sizes;
    std::vector<size_t> before, flushed;
  } cases[] = {
      {"gathered", {3, 3}, {}, {6}},
      {"filled exactly", {2, 6}, {}, {8}},
      {"one that does not fit", {3, 3, 3}, {6}, {3}},
      {"as large as the buffer, after what it holds", {5, 8}, {5, 8}, {}},
      {"larger, into an empty buffer", {9}, {9}, {}},
      {"gathered again after one passed on", {4, 8, 1, 2}, {4, 8}, {3}},
  };
  for (const auto& c : cases) {
    KeptWrites file;
    WriteBuffer buffer(8);
    std::string all, err;
    for (size_t size : c.sizes) {
      const std::string bytes(size, static_cast<char>('a' + all.size() % 26));
      all += bytes;
      ASSERT_TRUE(buffer.Write(file, bytes.data(), bytes.size(), &err)) << c.what;
    }
    EXPECT_EQ(c.before, Sizes(file.writes)) << c.what;
    const size_t before = file.writes.size();
    ASSERT_TRUE(buffer.Flush(file, &err)) << c.what;
    EXPECT_EQ(c.flushed, Sizes({file.writes.begin() + before, file.writes.end()})) << c.what;
    EXPECT_EQ(all, std::accumulate(file.writes.begin(), file.writes.end(), std::string()))
        << c.what;
    EXPECT_EQ(0u, buffer.Held()) << c.what;
  }
}

}  // namespace
}  // namespace nv
