// The warnings' names and the -W switches.
#include "cli/warning_switches.h"

#include <algorithm>

#include "manifest/manifest_elements.h"

namespace nv {

std::set<std::string> DefaultWarnings() {
  std::set<std::string> on;
  for (const WarningName& warning : WarningNames())
    if (warning.defaultOn) on.insert(warning.name);
  return on;
}

std::set<std::string> DefaultErrors() {
  std::set<std::string> errors;
  for (const WarningName& warning : WarningNames())
    if (warning.severity == Severity::kError) errors.insert(warning.name);
  return errors;
}

// Spelt as GCC spells its own: the name printed in "[-WNAME]" goes back
// into -W as it is. "all" names every warning, so that the later switch of
// a name still decides, as in "-Wall -Wno-unused-file".
bool SwitchWarning(const std::string& value, std::set<std::string>* on,
                   std::set<std::string>* errors, bool* asErrors, std::string* error) {
  const bool off = value.compare(0, 3, "no-") == 0;
  std::string name = off ? value.substr(3) : value;
  if (name == "error") {
    *asErrors = !off;
    return true;
  }
  const bool severity = name.compare(0, 6, "error=") == 0;
  if (severity) name = name.substr(6);
  std::vector<std::string> names;
  for (const WarningName& warning : WarningNames()) names.push_back(warning.name);
  const bool all = name == "all";
  if (!all && std::find(names.begin(), names.end(), name) == names.end()) {
    const std::string nearest = NearestName(name, names);
    *error = "unknown warning '" + name + "' " +
             (nearest.empty() ? std::string("(nvtheme --list-warnings lists them)")
                              : "(did you mean '" + nearest + "'?)");
    return false;
  }
  std::set<std::string>* set = severity ? errors : on;
  for (const std::string& each : all ? names : std::vector<std::string>{name}) {
    if (off) {
      set->erase(each);
    } else {
      set->insert(each);
      on->insert(each);
    }
  }
  return true;
}

std::string WarningList() {
  std::string list;
  for (const WarningName& warning : WarningNames()) {
    std::string name = warning.name;
    name.resize(std::max<size_t>(name.size() + 1, 22), ' ');
    list += name + (warning.defaultOn ? "on   " : "off  ") + warning.description + "\n";
  }
  return list;
}

}  // namespace nv
