// The names Windows takes for devices in every folder.
#pragma once

#include <string>

namespace nv {

// Whether Windows opens a device for this name, whatever folder it is in:
// it takes the part before the first dot, without trailing spaces, as a
// device when it spells one, so "nul.png" and "COM1 .txt" open devices.
bool IsWindowsDeviceName(const std::string& name);

}  // namespace nv
