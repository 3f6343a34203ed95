#include "build/entry_producer.h"

#include <gtest/gtest.h>

#include <new>

#include "platform/memory_file_system.h"

namespace nv {
namespace {

using Op = MemoryFileSystem::Op;

class EntryProducerTest : public testing::Test {
 protected:
  EntryProducerTest() {
    KestCreateInstance(u"KestRTU.dll", u"IZlib", zlib.Put());
    fs.AddFolder("t");
    fs.before = [this](Op op, const std::string& path) {
      if (op == Op::Open) opened.push_back(path);
      return true;
    };
  }

  // A job for a file whose listed size is `size`; its content is small.
  FileJob Job(int32_t id, uint64_t size) {
    std::string path = JoinPath("t", std::to_string(id));
    fs.AddFile(path, std::string(static_cast<size_t>(std::min<uint64_t>(size, 4096)), 'a'));
    return FileJob{id, path, size};
  }

  MemoryFileSystem fs;
  ServiceRef<IZlib> zlib;
  std::vector<std::string> opened;  // in the order the workers opened them
};

TEST_F(EntryProducerTest, HandsEntriesOverInIndexOrder) {
  std::vector<FileJob> jobs;
  for (int32_t id = 1; id <= 20; ++id) jobs.push_back(Job(id, 100 * (id % 7)));
  EntryProducer producer(fs, *zlib.get(), jobs, 3);
  for (size_t k = 0; k < jobs.size(); ++k) {
    Entry entry = producer.Take(k);
    EXPECT_EQ(jobs[k].id, entry.record.entryId);
    EXPECT_EQ(FileFault::kNone, entry.fault);
    EXPECT_EQ(std::min<uint64_t>(jobs[k].size, 4096), entry.record.originalSize);
  }
}

TEST_F(EntryProducerTest, LargestFilesStartFirst) {
  std::vector<FileJob> jobs = {Job(1, 10), Job(2, 3000), Job(3, 20), Job(4, 4000)};
  EntryProducer producer(fs, *zlib.get(), jobs, 1);
  for (size_t k = 0; k < jobs.size(); ++k) producer.Take(k);
  EXPECT_EQ((std::vector<std::string>{jobs[3].source, jobs[1].source, jobs[2].source,
                                      jobs[0].source}),
            opened);
}

TEST_F(EntryProducerTest, FilesTooLargeToHoldAheadAreMadeInOrder) {
  // Each would hold more than the budget for entries made ahead, so each
  // waits until the one before it is taken: memory stays bounded.
  const uint64_t big = EntryProducer::kAheadBudget;
  std::vector<FileJob> jobs = {Job(1, 10), Job(2, big), Job(3, big + 1), Job(4, big + 2)};
  EntryProducer producer(fs, *zlib.get(), jobs, 1);
  for (size_t k = 0; k < jobs.size(); ++k) producer.Take(k);
  EXPECT_EQ((std::vector<std::string>{jobs[0].source, jobs[1].source, jobs[2].source,
                                      jobs[3].source}),
            opened);
}

TEST_F(EntryProducerTest, WhatAWorkerThrowsIsThrownByTake) {
  std::vector<FileJob> jobs = {Job(1, 10), Job(2, 10), Job(3, 10)};
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

TEST_F(EntryProducerTest, StopsWithEntriesNotTaken) {
  std::vector<FileJob> jobs;
  for (int32_t id = 1; id <= 50; ++id) jobs.push_back(Job(id, 4096));
  {
    EntryProducer producer(fs, *zlib.get(), jobs, 4);
    producer.Take(0);
  }
  EXPECT_EQ(0, fs.OpenFiles());
}

}  // namespace
}  // namespace nv
