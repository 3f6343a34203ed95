// The warnings that build and check report: every name that -W takes, which
// are on by default, and the switches that turn them on and off.
#pragma once

#include <set>
#include <string>

#include "manifest/warning_table.h"

namespace nv {

// The names of the warnings that are on when no -W says otherwise.
std::set<std::string> DefaultWarnings();

// Applies what follows "-W": NAME turns a warning on, no-NAME off, "error"
// makes warnings fail the run and "no-error" undoes that. False with the
// reason for a name no warning has, naming the nearest one.
bool SwitchWarning(const std::string& value, std::set<std::string>* on, bool* asErrors,
                   std::string* error);

// One line per warning: its name, "on" or "off" by default, and what it finds.
std::string WarningList();

}  // namespace nv
