// How far the packing of a folder has come, for whoever shows it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace nv {

class BuildProgress {
 public:
  virtual ~BuildProgress() = default;
  // The files the package will hold, and their bytes.
  virtual void PackingStarted(size_t files, uint64_t bytes) = 0;
  // One more file is in the package.
  virtual void FilePacked(uint64_t bytes) = 0;
  virtual void PackingEnded() = 0;
};

}  // namespace nv
