// nvtheme lsp: a language server for theme folders. An editor that opens a
// folder's main.xml (or a layout of it) hears, as the author types, what
// `nvtheme check` would say of the folder were its open documents saved,
// and is answered completion, hover, definitions, an outline and fixes.
#pragma once

#include <chrono>
#include <istream>
#include <ostream>
#include <string>

#include "platform/file_system.h"

namespace nv {

struct LspSettings {
  // How long the documents must stay unchanged before a check: a burst of
  // keystrokes gives one.
  std::chrono::milliseconds quiet{200};
  // How long a check may take before it is cut short.
  std::chrono::milliseconds checkTime{2000};
  // The largest document checked as it is typed: a check holds the parsed
  // manifest, about 16 times its text, in memory.
  size_t maxCheckedBytes = 8 * 1024 * 1024;
  // Where a check keeps its images' verdicts; empty: none.
  std::string cacheFolder;
};

// Serves the protocol on `in` and `out` until an exit notification or the
// end of `in`; what it has to say beside the protocol goes to `log`. The
// exit status: 0 when the client asked it to shut down first, else 1.
int ServeLanguage(std::istream& in, std::ostream& out, std::ostream& log, FileSystem& fs,
                  const LspSettings& settings);

}  // namespace nv
