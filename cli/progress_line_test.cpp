#include "cli/progress_line.h"

#include <gtest/gtest.h>

#include <sstream>

namespace nv {
namespace {

TEST(ProgressLineTest, FormatsFilesBytesRateAndTimeLeft) {
  EXPECT_EQ("0/40 files, 0.0/9.0 MB", ProgressLine::Format(0, 40, 0, 9000000, 0));
  EXPECT_EQ("12/40 files, 3.0/9.0 MB, 1.5 MB/s, 0:04 left",
            ProgressLine::Format(12, 40, 3000000, 9000000, 2.0));
  EXPECT_EQ("1/2 files, 1.0/601.0 MB, 1.0 MB/s, 10:00 left",
            ProgressLine::Format(1, 2, 1000000, 601000000, 1.0));
}

TEST(ProgressLineTest, FilesThatGrewAfterListingNeverMakeTimeLeftNegative) {
  EXPECT_EQ("2/2 files, 695.6/695.6 MB, 347.8 MB/s, 0:00 left",
            ProgressLine::Format(2, 2, 695600000, 400000000, 2.0));
  EXPECT_EQ("1/2 files, 1.0/1000000.0 MB, 0.0 MB/s, more than 100 hours left",
            ProgressLine::Format(1, 2, 1000000, uint64_t{1000000} * 1000000, 1e6));
}

TEST(ProgressLineTest, RedrawsInPlaceAtMostTenTimesASecondAndErasesItself) {
  std::ostringstream out;
  double now = 0;
  ProgressLine line(out, [&] { return now; });
  line.PackingStarted(3, 3000000);
  now = 1;
  line.FilePacked(1000000);
  now = 1.05;
  line.FilePacked(1000000);  // too soon to redraw
  now = 2;
  line.FilePacked(1000000);
  line.PackingEnded();
  const std::string first = "1/3 files, 1.0/3.0 MB, 1.0 MB/s, 0:02 left";
  const std::string last = "3/3 files, 3.0/3.0 MB, 1.5 MB/s, 0:00 left";
  EXPECT_EQ("\r" + first + "\r" + last + "\r" + std::string(last.size(), ' ') + "\r", out.str());
}

TEST(ProgressLineTest, ShorterLinePadsOverTheLongerOne) {
  std::ostringstream out;
  double now = 0;
  ProgressLine line(out, [&] { return now; });
  line.PackingStarted(2, 100100000);
  now = 0.5;
  line.FilePacked(100000000);
  now = 100;
  line.FilePacked(100000);
  EXPECT_EQ(
      "\r1/2 files, 100.0/100.1 MB, 200.0 MB/s, 0:00 left"
      "\r2/2 files, 100.1/100.1 MB, 1.0 MB/s, 0:00 left  ",
      out.str());
}

TEST(ProgressLineTest, QuickPackingShowsNothing) {
  std::ostringstream out;
  double now = 0;
  ProgressLine line(out, [&] { return now; });
  line.PackingStarted(2, 2000);
  now = 0.2;
  line.FilePacked(1000);
  now = 0.4;
  line.FilePacked(1000);
  line.PackingEnded();
  EXPECT_EQ("", out.str());
}

TEST(ProgressLineTest, NothingDrawnNothingErased) {
  std::ostringstream out;
  ProgressLine line(out, [] { return 0.0; });
  line.PackingStarted(0, 0);
  line.PackingEnded();
  EXPECT_EQ("", out.str());
}

}  // namespace
}  // namespace nv
