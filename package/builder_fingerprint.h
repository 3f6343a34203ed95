// What decides a block's bytes besides its file's content: the builder,
// its compressor as that behaves, the code that makes blocks and the size
// of pieces. The build cache takes no block that another fingerprint made.
#pragma once

#include <string>

#include "services/component.h"

namespace nv {

// The fingerprint of a builder that `builder` names (program and version)
// compressing with `zlib`, which is asked to make a few blocks; false,
// saying why, when they could not be told apart.
bool BuilderFingerprint(const std::string& builder, IZlib& zlib, std::string* fingerprint,
                        std::string* err);

}  // namespace nv
