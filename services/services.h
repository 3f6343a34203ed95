// The services that KestCreateInstance makes, for the library's own use.
#pragma once

#include "services/component.h"

namespace nv {

IZlib* NewZlibService();
IStringUtil* NewStringUtilService();

}  // namespace nv
