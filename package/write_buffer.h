// Small writes gathered into few: a package of many small files is written
// in a handful of system calls rather than two a file.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "platform/file_system.h"

namespace nv {

class WriteBuffer {
 public:
  explicit WriteBuffer(size_t capacity) : m_capacity(capacity) {}

  // The bytes go after those it holds: gathered while they fit, and what it
  // holds written to `file` first when they do not. Bytes as many as it can
  // hold go to the file directly, never copied. Fails as the file's write
  // fails, saying why in *err; what it held is then let go.
  bool Write(File& file, const void* data, size_t size, std::string* err);

  // Writes what it holds, so that the file's next write, copy, seek or sync
  // comes after it. Fails as Write does.
  bool Flush(File& file, std::string* err);

  size_t Held() const { return m_held; }

 private:
  const size_t m_capacity;
  std::unique_ptr<char[]> m_bytes;  // once there is something to hold
  size_t m_held = 0;
};

}  // namespace nv
