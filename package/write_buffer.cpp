// The package writer's write buffer.
#include "package/write_buffer.h"

#include <cstring>

namespace nv {

bool WriteBuffer::Write(File& file, const void* data, size_t size, std::string* err) {
  if (size > m_capacity - m_held && !Flush(file, err)) return false;
  if (size >= m_capacity) return file.Write(data, size, err);
  if (!m_bytes) m_bytes.reset(new char[m_capacity]);
  std::memcpy(m_bytes.get() + m_held, data, size);
  m_held += size;
  return true;
}

bool WriteBuffer::Flush(File& file, std::string* err) {
  const size_t held = m_held;
  m_held = 0;
  return held == 0 || file.Write(m_bytes.get(), held, err);
}

}  // namespace nv
