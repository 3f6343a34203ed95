// The standard streams of a console program.
#pragma once

#include <cstdio>

namespace nv {

// Makes standard output and standard error pass bytes unchanged: the log's
// CR LF must not become CR CR LF on Windows.
void SetBinaryStandardStreams();

// Whether the stream is an interactive terminal.
bool IsTerminal(FILE* stream);

}  // namespace nv
