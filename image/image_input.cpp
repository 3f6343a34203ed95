// Reading an image file a buffer at a time.
#include "image/image_input.h"

#include <algorithm>
#include <cstring>

namespace nv {

bool ImageInput::Fill() {
  if (m_start < m_end) return true;
  if (m_ended) return false;
  size_t got = 0;
  std::string err;
  if (!m_file.Read(m_buffer.data(), m_buffer.size(), &got, &err)) {
    m_error = err.empty() ? "read failed" : err;
    got = 0;
  }
  m_start = 0;
  m_end = got;
  m_ended = got < m_buffer.size();
  return got > 0;
}

size_t ImageInput::Read(void* to, size_t size) {
  size_t done = 0;
  while (done < size && Fill()) {
    const size_t n = std::min(size - done, m_end - m_start);
    std::memcpy(static_cast<unsigned char*>(to) + done, &m_buffer[m_start], n);
    m_start += n;
    done += n;
  }
  m_offset += done;
  m_exhausted |= done < size;
  return done;
}

bool ImageInput::SkipPast(unsigned char byte) {
  while (Fill()) {
    const unsigned char* from = &m_buffer[m_start];
    const auto* at = static_cast<const unsigned char*>(std::memchr(from, byte, m_end - m_start));
    const size_t n = at ? static_cast<size_t>(at - from) + 1 : m_end - m_start;
    m_start += n;
    m_offset += n;
    if (at) return true;
  }
  m_exhausted = true;
  return false;
}

bool ImageInput::Skip(uint64_t size) {
  while (size > 0 && Fill()) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(size, m_end - m_start));
    m_start += n;
    m_offset += n;
    size -= n;
  }
  m_exhausted |= size > 0;
  return size == 0;
}

}  // namespace nv
