// The standard streams of a console program, and how it meets the limits
// its process runs under.
#pragma once

#include <cstdio>

namespace nv {

// Makes standard output and standard error pass bytes unchanged: the log's
// CR LF must not become CR CR LF on Windows.
void SetBinaryStandardStreams();

// Whether the stream is an interactive terminal.
bool IsTerminal(FILE* stream);

// Makes a write past the file-size limit (ulimit -f) fail as a write to a
// full disk does, to be reported and cleaned up after, instead of ending
// the process without a word.
void TreatFileSizeLimitAsWriteError();

}  // namespace nv
