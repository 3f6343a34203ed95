// The nvtheme command, apart from the process it runs in.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/cache_settings.h"
#include "platform/file_system.h"
#include "run/build_progress.h"
#include "services/component.h"

namespace nv {

// Runs the command whose words follow the program name and returns its exit
// status: 0 success, 1 failure, 2 usage error. A write to `out` or `err`
// that fails makes it 1, with "nvtheme: write error: REASON" on `err`.
// `progress`, when not null, is shown how far a build's packing has come.
// Builds use the build cache that `cache` sets, and `cache clear` empties it;
// they get their compression service from `createService`. `colourTerminal`:
// whether `err` shows colour, which --color=auto then gives.
int RunNvtheme(const std::vector<std::string>& args, FileSystem& fs, std::ostream& out,
               std::ostream& err, BuildProgress* progress = nullptr,
               const CacheSettings& cache = {}, KestFactory createService = KestCreateInstance,
               bool colourTerminal = false);

}  // namespace nv
