// Random names for temporary files: 64 bits no other process or call
// draws, as 16 lowercase hex digits.
#pragma once

#include <cstdint>
#include <string>

namespace nv {

// From the system's random source, with the clock and a count mixed in
// should it have none.
uint64_t FreshToken();

// The token as 16 lowercase hex digits.
std::string TokenDigits(uint64_t token);

}  // namespace nv
