// The language server protocol's framing: each message a header of
// "Name: value" lines ending in an empty line, whose Content-Length gives
// the length of the JSON body that follows.
#pragma once

#include <istream>
#include <ostream>
#include <string>

namespace nv {

enum class Framed {
  kMessage,  // *body holds a message's bytes
  kEnd,      // the stream ended between messages
  kBroken,   // a header without a sound Content-Length, or a body cut short;
             // *err says which, and reading goes on after it
};

// The largest body read: a longer one is passed over, unread.
constexpr size_t kMaxMessageBytes = 256 * 1024 * 1024;

Framed ReadFramedMessage(std::istream& in, std::string* body, std::string* err);

// Writes one message and flushes it, so that the client has it at once.
void WriteFramedMessage(std::ostream& out, const std::string& body);

}  // namespace nv
