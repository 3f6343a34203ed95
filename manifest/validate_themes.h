// The theme validation: every theme of a manifest checked against the
// manifest rules, each broken rule written to the operation log, and one
// verdict per theme left for the build run.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "run/run_context.h"

class TiXmlDocument;
class TiXmlElement;

namespace nv {

// Told of each error line as the validation writes it, with the element the
// line is about (a theme's verdict line is about the theme).
using ThemeFindings = std::function<void(const TiXmlElement& concerned, const std::string& line)>;

// Collects the "theme" children of the manifest's root element into `themes`
// and gives each a verdict in `verdicts`, both in document order; both lists
// are empty on entry. Every theme is examined, and within a theme every rule
// it reaches, so that one run reports all faults. The log is published after
// the opening words, after the count of themes and after the last theme.
void ValidateThemes(const RunContext& run, const std::string& sourceFolder,
                    const TiXmlDocument& manifest, std::vector<const TiXmlElement*>* themes,
                    std::vector<bool>* verdicts, const ThemeFindings& findings = nullptr);

}  // namespace nv
