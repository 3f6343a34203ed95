// Why a folder's main.xml did not load, in notes for the diagnostic that
// says its root element is missing.
#pragma once

#include <string>
#include <vector>

#include "manifest/diagnostic.h"
#include "manifest/read_text_file.h"
#include "platform/file_system.h"

class TiXmlDocument;

namespace nv {

// What the load got from the folder's manifest.
struct ManifestAttempt {
  const std::string& folder;  // as typed
  TextRead read;
  std::string readError;          // the system's words, when unreadable
  bool ledOutside;                // not read, for it leads outside the folder...
  std::string outsideTarget;      // ...to there
  const std::string& text;        // as read
  const TiXmlDocument& manifest;  // as parsed, when it was
};

// The notes, in the order a reader looks: the folder, the file, its text, its
// first element. The disk is asked again only to tell what is missing from
// what cannot be read. A first element whose name is near the root's puts
// that "did you mean" in *fix (may be null), for an editor to apply.
std::vector<std::string> WhyManifestDidNotLoad(FileSystem& fs, const ManifestAttempt& attempt,
                                               NameFix* fix = nullptr);

}  // namespace nv
