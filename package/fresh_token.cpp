// Random names for temporary files.
#include "package/fresh_token.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <exception>
#include <random>

namespace nv {

uint64_t FreshToken() {
  static std::atomic<uint64_t> drawn{0};
  uint64_t token =
      static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()) ^
      (++drawn * 0x9E3779B97F4A7C15u);
  try {
    std::random_device source;
    token ^= (static_cast<uint64_t>(source()) << 32) ^ source();
  } catch (const std::exception&) {
  }
  return token;
}

std::string TokenDigits(uint64_t token) {
  char digits[17];
  std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(token));
  return digits;
}

}  // namespace nv
