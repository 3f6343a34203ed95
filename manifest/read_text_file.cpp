// Reading a text file whole, with its line ends made LF.
#include "manifest/read_text_file.h"

#include <algorithm>
#include <utility>

namespace nv {

std::string TextWithLfLines(const std::string& bytes) {
  std::string text;
  text.reserve(bytes.size() + 1);
  size_t start = 0;
  while (start < bytes.size()) {
    size_t lf = bytes.find('\n', start);
    size_t end = lf == std::string::npos ? bytes.size() : lf;
    size_t length = end - start;
    if (lf != std::string::npos && length > 0 && bytes[end - 1] == '\r') --length;
    text.append(bytes, start, length);
    text += '\n';
    start = end + 1;
  }
  return text;
}

TextRead ReadFileBytes(FileSystem& fs, const std::string& path, std::string* bytes,
                       std::string* err, uint64_t maxBytes) {
  bytes->clear();
  std::unique_ptr<File> file = fs.OpenForReading(path, Sharing::kReadWrite, err);
  uint64_t size = 0;
  if (!file || !file->Size(&size, err)) return TextRead::kUnreadable;
  if (size > maxBytes) return TextRead::kTooLarge;
  std::string read;
  char chunk[1 << 16];
  size_t got = 0;
  do {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(sizeof chunk, size - read.size()));
    if (!file->Read(chunk, want, &got, err)) return TextRead::kUnreadable;
    read.append(chunk, got);
  } while (got > 0 && read.size() < size);
  std::string lost;
  file->Close(&lost);  // a file only read loses nothing if closing fails
  *bytes = std::move(read);
  return TextRead::kRead;
}

TextRead ReadTextFile(FileSystem& fs, const std::string& path, std::string* text, std::string* err,
                      uint64_t maxBytes) {
  const TextRead read = ReadFileBytes(fs, path, text, err, maxBytes);
  if (read == TextRead::kRead) *text = TextWithLfLines(*text);
  return read;
}

}  // namespace nv
