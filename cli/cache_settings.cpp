// The build cache's settings, from the environment.
#include "cli/cache_settings.h"

#include <cstdlib>

#include "platform/cache_folder.h"

namespace nv {

CacheSettings CacheSettingsFromEnvironment() {
  CacheSettings settings;
  const char* value = std::getenv("NVTHEME_CACHE");
  const std::string switched = value ? value : "";
  const bool known = UserCacheFolder(&settings.folder, &settings.unknown);
  settings.on = known && switched != "off" && switched != "0";
  return settings;
}

}  // namespace nv
