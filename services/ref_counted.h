// Reference counting shared by the services: one reference at creation,
// destroyed with the last Release.
#pragma once

#include <atomic>
#include <cstdint>

namespace nv {

template <typename Interface>
class RefCounted : public Interface {
 public:
  uint32_t AddRef() override { return ++m_refs; }
  uint32_t Release() override {
    uint32_t left = --m_refs;
    if (left == 0) delete this;
    return left;
  }

 protected:
  ~RefCounted() override = default;

 private:
  std::atomic<uint32_t> m_refs{1};
};

}  // namespace nv
