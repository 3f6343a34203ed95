// The standard streams on POSIX systems, which never translate bytes.
#include "platform/console.h"

#include <unistd.h>

namespace nv {

void SetBinaryStandardStreams() {}

bool IsTerminal(FILE* stream) { return isatty(fileno(stream)) != 0; }

}  // namespace nv
