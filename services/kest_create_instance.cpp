// The factory of the component library: services made by module and
// interface name.
#include <string>

#include "services/component.h"
#include "services/services.h"

namespace nv {

namespace {

// Module names are file names, which Windows compares without letter case.
bool SameModuleName(const char16_t* a, const char16_t* b) {
  auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? c - u'A' + u'a' : c; };
  for (; *a && *b; ++a, ++b)
    if (lower(*a) != lower(*b)) return false;
  return *a == *b;
}

}  // namespace

const char* DescribeKestResult(int32_t result) {
  switch (result) {
    case kKestOk:
      return "success";
    case kKestNoModule:
      return "no such module";
    case kKestNoInterface:
      return "no such interface";
    case kKestInvalidArgument:
      return "invalid argument";
    case kKestOutOfMemory:
      return "out of memory";
    case kKestTooLarge:
      return "output larger than 4 GiB";
    case kKestFailed:
      return "compression library error";
    default:
      return "unknown error";
  }
}

int32_t KestCreateInstance(const char16_t* module, const char16_t* interfaceName, void** object) {
  if (!object) return kKestInvalidArgument;
  *object = nullptr;
  if (!module || !interfaceName) return kKestInvalidArgument;
  if (!SameModuleName(module, u"KestRTU.dll")) return kKestNoModule;
  std::u16string name(interfaceName);
  if (name == u"IZlib") {
    *object = NewZlibService();
  } else if (name == u"IStringUtil") {
    *object = NewStringUtilService();
  } else {
    return kKestNoInterface;
  }
  return *object ? kKestOk : kKestOutOfMemory;
}

}  // namespace nv
