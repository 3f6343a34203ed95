// The bytes of an image file as its checks read them: from the start, a
// piece at a time, whatever the size of the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace nv {

class ImageInput {
 public:
  explicit ImageInput(File& file) : m_file(file), m_buffer(kBufferSize) {}

  // Up to `size` bytes into `to`; fewer only where the file ends or a read
  // fails, which Failed() then tells apart.
  size_t Read(void* to, size_t size);
  // The next byte, or -1 where there is none. Inline, as scans call it for
  // every byte of an image.
  int Byte() {
    if (m_start == m_end && !Fill()) {
      m_exhausted = true;
      return -1;
    }
    ++m_offset;
    return m_buffer[m_start++];
  }
  // Passes over the bytes up to the next `byte` and that byte itself: false
  // where the file ends first.
  bool SkipPast(unsigned char byte);
  // Whether `size` bytes could be passed over: false where the file ends first.
  bool Skip(uint64_t size);
  // The bytes read or passed over so far.
  uint64_t Offset() const { return m_offset; }
  // Whether a read asked for more than the file had left: a library that
  // words this as a failed read (giflib) is told that the file ends early.
  bool Exhausted() const { return m_exhausted; }
  // Whether a read failed, so that what was not read is not judged.
  bool Failed() const { return !m_error.empty(); }
  const std::string& Error() const { return m_error; }

 private:
  static constexpr size_t kBufferSize = 64 * 1024;
  bool Fill();

  File& m_file;
  std::vector<unsigned char> m_buffer;
  size_t m_start = 0;
  size_t m_end = 0;
  bool m_ended = false;
  bool m_exhausted = false;
  uint64_t m_offset = 0;
  std::string m_error;
};

}  // namespace nv
