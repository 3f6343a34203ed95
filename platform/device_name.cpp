// The names Windows takes for devices in every folder.
#include "platform/device_name.h"

#include <algorithm>

namespace nv {

namespace {

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

// The ports count ¹, ² and ³ (code page 1252) as digits too.
bool IsWindowsDeviceName(const std::string& name) {
  std::string stem = name.substr(0, name.find('.'));
  stem.erase(stem.find_last_not_of(' ') + 1);
  std::transform(stem.begin(), stem.end(), stem.begin(), AsciiUpper);
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
    if (stem == device) return true;
  const bool port =
      stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0);
  return port && std::string("0123456789\xB9\xB2\xB3").find(stem[3]) != std::string::npos;
}

}  // namespace nv
