#include "package/entry_producer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <new>
#include <thread>

#include "package/pieced_block.h"
#include "testing/memory_file_system.h"
#include "testing/test_bytes.h"

namespace nv {
namespace {

using Op = MemoryFileSystem::Op;

class EntryProducerTest : public testing::Test {
 protected:
  EntryProducerTest() {
    KestCreateInstance(u"KestRTU.dll", u"IZlib", zlib.Put());
    fs.AddFolder("t");
    fs.before = [this](Op op, const std::string& path) {
      if (op == Op::OpenForReading) opened.push_back(path);
      return true;
    };
  }

  // A job for a file whose listed size is `size`; its content is small.
  EntryJob Job(int32_t id, uint64_t size) {
    std::string path = JoinPath("t", std::to_string(id));
    fs.AddFile(path, std::string(static_cast<size_t>(std::min<uint64_t>(size, 4096)), 'a'));
    return EntryJob{id, path, size};
  }

  MemoryFileSystem fs;
  ServiceRef<IZlib> zlib;
  std::vector<std::string> opened;  // in the order the workers opened them
};

TEST_F(EntryProducerTest, HandsEntriesOverInIndexOrder) {
  std::vector<EntryJob> jobs;
  for (int32_t id = 1; id <= 20; ++id) jobs.push_back(Job(id, 100 * (id % 7)));
  EntryProducer producer(fs, *zlib.get(), jobs, 3);
  for (size_t k = 0; k < jobs.size(); ++k) {
    Entry entry = producer.Take(k);
    EXPECT_EQ(jobs[k].id, entry.record.entryId);
    EXPECT_EQ(FileFault::kNone, entry.fault);
    EXPECT_EQ(std::min<uint64_t>(jobs[k].size, 4096), entry.record.originalSize);
  }
}

// The writer writes each entry as soon as it is made, beside the
// compressing, whatever the files' sizes.
TEST_F(EntryProducerTest, FilesStartInTheOrderTheyAreWritten) {
  std::vector<EntryJob> jobs = {Job(1, 10), Job(2, 3000), Job(3, 20), Job(4, 4000)};
  EntryProducer producer(fs, *zlib.get(), jobs, 1);
  for (size_t k = 0; k < jobs.size(); ++k) producer.Take(k);
  EXPECT_EQ(
      (std::vector<std::string>{jobs[0].source, jobs[1].source, jobs[2].source, jobs[3].source}),
      opened);
}

TEST_F(EntryProducerTest, FilesTooLargeToHoldAheadAreMadeInOrder) {
  // No two fit the budget at once, so each waits until the one before it
  // is taken: memory stays bounded.
  const uint64_t budget = 1 << 20, big = budget;
  std::vector<EntryJob> jobs = {Job(1, 10), Job(2, big), Job(3, big + 1), Job(4, big + 2)};
  EntryProducer producer(fs, *zlib.get(), jobs, 2, budget);
  for (size_t k = 0; k < jobs.size(); ++k) producer.Take(k);
  EXPECT_EQ(
      (std::vector<std::string>{jobs[0].source, jobs[1].source, jobs[2].source, jobs[3].source}),
      opened);
}

TEST_F(EntryProducerTest, WhatAWorkerThrowsIsThrownByTake) {
  std::vector<EntryJob> jobs = {Job(1, 10), Job(2, 10), Job(3, 10)};
  fs.before = [&](Op op, const std::string& path) -> bool {
    if (op == Op::Read && path == jobs[1].source) throw std::bad_alloc();
    return true;
  };
  EntryProducer producer(fs, *zlib.get(), jobs, 2);
  EXPECT_EQ(1, producer.Take(0).record.entryId);
  EXPECT_THROW(producer.Take(1), std::bad_alloc);
  EXPECT_EQ(3, producer.Take(2).record.entryId);
  EXPECT_EQ(0, fs.OpenFiles());
}

// A file larger than a piece is compressed in pieces, shared among the
// workers, into one stream that is the same on any number of them.
TEST_F(EntryProducerTest, LargeFilesAreMadeInPiecesAlikeOnAnyNumberOfWorkers) {
  std::string content = Incompressible(kPieceSize + 1000);
  for (int line = 0; content.size() < 3 * kPieceSize + 12345; ++line)
    content += "<image src=\"icon-" + std::to_string(line % 977) + ".png\" />\n";
  fs.AddFile(JoinPath("t", "big.raw"), content);
  const std::vector<EntryJob> jobs = {
      Job(1, 10), {2, JoinPath("t", "big.raw"), content.size()}, Job(3, 10)};
  std::string blocks[2];
  for (unsigned workers : {1u, 4u}) {
    EntryProducer producer(fs, *zlib.get(), jobs, workers);
    producer.Take(0);
    const Entry big = producer.Take(1);
    blocks[workers > 1].assign(reinterpret_cast<const char*>(big.block.get()),
                               big.record.storedSize);
  }
  EXPECT_EQ(content, Inflated(blocks[0], content.size()));
  EXPECT_EQ(blocks[0], blocks[1]);
  EXPECT_LT(blocks[0].size(), content.size() / 2);
}

TEST_F(EntryProducerTest, StopsWithEntriesNotTaken) {
  std::vector<EntryJob> jobs;
  for (int32_t id = 1; id <= 50; ++id) jobs.push_back(Job(id, 4096));
  {
    EntryProducer producer(fs, *zlib.get(), jobs, 4);
    producer.Take(0);
  }
  EXPECT_EQ(0, fs.OpenFiles());
}

// Bytes held by a producer's files and blocks, as far as the seams show them:
// a file's from its opening until its compression returns (it is read whole
// meanwhile), a block's from its making until the taker lets go of it.
class HeldBytes {
 public:
  void Add(int64_t bytes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_held += bytes;
    m_peak = std::max(m_peak, m_held);
  }
  int64_t Now() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_held;
  }
  int64_t Peak() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_peak;
  }
  void ForgetPeak() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_peak = m_held;
  }

 private:
  std::mutex m_mutex;
  int64_t m_held = 0;
  int64_t m_peak = 0;
};

// Makes each block a copy of its file, so that blocks are as large as files.
class CopyingZlib : public IZlib {
 public:
  explicit CopyingZlib(HeldBytes* held) : m_held(held) {}
  uint32_t AddRef() override { return 1; }
  uint32_t Release() override { return 1; }
  int32_t Compress(const uint8_t* input, uint32_t length, uint8_t** output,
                   uint32_t* outputLength) override {
    *output = static_cast<uint8_t*>(TaskMemAlloc(std::max<uint32_t>(length, 1)));
    if (length) std::memcpy(*output, input, length);
    *outputLength = length;
    m_held->Add(length);
    if (whileCompressing) whileCompressing(length);
    m_held->Add(-static_cast<int64_t>(length));  // the file's bytes, freed as this returns
    return kKestOk;
  }

  // No file here is large enough to be made in pieces.
  int32_t CompressPiece(const uint8_t*, uint32_t, bool, uint8_t**, uint32_t*) override {
    return kKestFailed;
  }

  std::function<void(uint32_t length)> whileCompressing;

 private:
  HeldBytes* m_held;
};

class EntryProducerMemoryTest : public testing::Test {
 protected:
  EntryProducerMemoryTest() {
    fs.AddFolder("t");
    fs.before = [this](Op op, const std::string& path) {
      if (op == Op::OpenForReading) held.Add(static_cast<int64_t>(sizes.at(path)));
      return true;
    };
  }

  void Add(int32_t id, size_t size) {
    const std::string path = JoinPath("t", std::to_string(id));
    fs.AddFile(path, std::string(size, static_cast<char>('a' + id % 26)));
    sizes[path] = size;
    jobs.push_back(EntryJob{id, path, size});
  }

  // Takes every entry in order, as the writer does: each is let go of before
  // the next is taken.
  void TakeAll(EntryProducer& producer) {
    for (size_t k = 0; k < jobs.size(); ++k) {
      uint32_t stored = 0;
      {
        const Entry entry = producer.Take(k);
        EXPECT_EQ(FileFault::kNone, entry.fault);
        EXPECT_EQ(
            fs.Contents(jobs[k].source),
            std::string(reinterpret_cast<const char*>(entry.block.get()), entry.record.storedSize));
        stored = entry.record.storedSize;
      }
      held.Add(-static_cast<int64_t>(stored));
    }
    EXPECT_EQ(0, held.Now());
  }

  MemoryFileSystem fs;
  HeldBytes held;
  CopyingZlib zlib{&held};
  std::map<std::string, size_t> sizes;
  std::vector<EntryJob> jobs;
};

// The files and blocks held at once stay within one budget on any number
// of workers. The first file in index order is the smallest, so that every
// worker would make entries ahead of it if the budget let it.
TEST_F(EntryProducerMemoryTest, WhatIsHeldStaysWithinTheBudgetOnAnyNumberOfWorkers) {
  const int64_t budget = 1 << 20;
  for (int32_t id = 1; id <= 40; ++id) Add(id, (40 << 10) + 2500 * id);
  for (unsigned workers : {1u, 4u, 64u}) {
    SCOPED_TRACE(std::to_string(workers) + " workers");
    held.ForgetPeak();
    EntryProducer producer(fs, zlib, jobs, workers, budget);
    // The budget is used, not merely kept: while the writer is busy, more
    // than three of the largest files are held at once. (The producer counts
    // a file at twice its size and more, so what the seams see stays well
    // below the budget.)
    const int64_t used = 3 * static_cast<int64_t>(jobs.back().size);
    for (int wait = 0; wait < 5000 && held.Peak() <= used; ++wait)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    TakeAll(producer);
    EXPECT_LE(held.Peak(), budget);
    EXPECT_LT(used, held.Peak());
  }
}

// A file that needs more than the budget is made while nothing else is held.
TEST_F(EntryProducerMemoryTest, FileLargerThanTheBudgetIsMadeAlone) {
  const size_t big = 3 << 20;
  for (int32_t id = 1; id <= 10; ++id) Add(id, id == 6 ? big : 100 << 10);
  std::vector<int64_t> heldWithTheBigFile;
  zlib.whileCompressing = [&](uint32_t length) {
    if (length == big) heldWithTheBigFile.push_back(held.Now());
  };
  EntryProducer producer(fs, zlib, jobs, 4, 1 << 20);
  TakeAll(producer);
  EXPECT_EQ(std::vector<int64_t>{2 * static_cast<int64_t>(big)}, heldWithTheBigFile);
}

}  // namespace
}  // namespace nv
