// The build cache as the environment sets it for nvtheme: where it lives,
// and whether builds use it.
#pragma once

#include <string>

namespace nv {

struct CacheSettings {
  std::string folder;   // empty when none is known
  std::string unknown;  // why none is known
  bool on = false;      // whether builds use it
};

// The user's cache folder's nvtheme folder; builds use it unless
// NVTHEME_CACHE is "off" (or "0").
CacheSettings CacheSettingsFromEnvironment();

}  // namespace nv
