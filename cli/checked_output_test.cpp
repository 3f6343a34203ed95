#include "cli/checked_output.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sstream>

namespace nv {
namespace {

// Takes `room` bytes, then refuses every write with ENOSPC.
class FillingDevice : public std::streambuf {
 public:
  explicit FillingDevice(size_t room) : m_room(room) {}
  std::string taken;

 protected:
  int_type overflow(int_type c) override {
    const char ch = traits_type::to_char_type(c);
    return xsputn(&ch, 1) == 1 ? c : traits_type::eof();
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    const size_t put = std::min(m_room - taken.size(), static_cast<size_t>(n));
    taken.append(s, put);
    if (put < static_cast<size_t>(n)) errno = ENOSPC;
    return static_cast<std::streamsize>(put);
  }

 private:
  size_t m_room;
};

TEST(CheckedOutputTest, PassesEveryWriteOnAsItIs) {
  std::ostringstream target;
  CheckedOutput output(target);
  output.Stream() << "id\t" << 42 << '\n' << std::string("a\0b", 3);
  std::string reason;
  EXPECT_TRUE(output.Flush(&reason));
  EXPECT_EQ(std::string("id\t42\na\0b", 9), target.str());
}

TEST(CheckedOutputTest, TellsTheReasonOfTheFirstRefusal) {
  FillingDevice device(4);
  std::ostream target(&device);
  CheckedOutput output(target);
  output.Stream() << "nvtheme" << 1;
  errno = EBADF;  // whatever the program does after the write that failed
  output.Stream() << "more";
  std::string reason;
  EXPECT_FALSE(output.Flush(&reason));
  EXPECT_EQ(std::strerror(ENOSPC), reason);
  EXPECT_EQ("nvth", device.taken);
}

}  // namespace
}  // namespace nv
