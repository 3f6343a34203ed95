// The warnings that build and check report: every name that -W takes, which
// are on by default, and the switches that turn them on and off.
#pragma once

#include <set>
#include <string>

#include "manifest/warning_table.h"

namespace nv {

// The names of the warnings that are on when no -W says otherwise.
std::set<std::string> DefaultWarnings();

// The names of the warnings that are errors when no -W says otherwise.
std::set<std::string> DefaultErrors();

// Applies what follows "-W": NAME turns a warning on, no-NAME off,
// error=NAME makes it an error (and turns it on), no-error=NAME a warning
// again; "error" makes warnings fail the run and "no-error" undoes that.
// "all" in place of NAME stands for every warning, those off by default too.
// False with the reason for a name no warning has, naming the nearest one.
// *on holds the warnings reported, *errors those that are errors, and
// *asErrors whether every warning fails the run.
bool SwitchWarning(const std::string& value, std::set<std::string>* on,
                   std::set<std::string>* errors, bool* asErrors, std::string* error);

// One line per warning: its name, "on" or "off" by default, and what it finds.
std::string WarningList();

}  // namespace nv
