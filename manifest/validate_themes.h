// The theme validation: every theme of a manifest checked against the
// manifest rules, each broken rule written to the operation log, and one
// verdict per theme left for the build run.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "manifest/broken_tag.h"
#include "manifest/manifest_diagnostics.h"
#include "run/run_context.h"
#include "xml/text_position.h"

class TiXmlDocument;
class TiXmlElement;

namespace nv {

// An error line as the validation writes it, with the element the line is
// about (a theme's verdict line is about the theme), and notes that say why
// and what to do.
struct ThemeFinding {
  const TiXmlElement& concerned;
  std::string line;
  std::vector<std::string> notes;
  // Notes about other places in the manifest; their file is the manifest's.
  std::vector<LocatedNote> related;
  std::vector<std::string> absent;  // the attributes the line calls missing
  // The attribute whose value the line is about (a file missing), where the
  // fault is; empty for a line about the element.
  std::string valueOf;
  NameFix fix;  // the notes' "did you mean", when they make one
};

// Told of each error line as the validation writes it.
using ThemeFindings = std::function<void(const ThemeFinding& finding)>;

// Collects the "theme" children of the manifest's root element into `themes`
// and gives each a verdict in `verdicts`, both in document order; both lists
// are empty on entry. Every theme is examined, and within a theme every rule
// it reaches, so that one run reports all faults. The log is published after
// the opening words, after the count of themes and after the last theme.
// Findings get their notes only when told to someone; the notes name places
// by `positions` when given, else by the parser's own count, and tell a
// fault that echoes `broken` as its echo.
void ValidateThemes(const RunContext& run, const std::string& sourceFolder,
                    const TiXmlDocument& manifest, std::vector<const TiXmlElement*>* themes,
                    std::vector<bool>* verdicts, const ThemeFindings& findings = nullptr,
                    const ElementPositions* positions = nullptr, const BrokenTag* broken = nullptr);

// The same validation, each finding reported to `diagnostics` (may be null)
// with its notes, where its element stands in `text`, the manifest's text as
// it was parsed. Where the parser stopped in a tag, the errors that call
// attributes written past the fault missing are no causes of their own: the
// fault is reported as the error in their stead, with them as its notes, and
// is given in `*told` (may be null); the log is as it is.
void ValidateThemesReporting(const RunContext& run, const std::string& sourceFolder,
                             const std::string& text, const TiXmlDocument& manifest,
                             std::vector<const TiXmlElement*>* themes, std::vector<bool>* verdicts,
                             ManifestDiagnostics* diagnostics, BrokenTag* told = nullptr);

}  // namespace nv
