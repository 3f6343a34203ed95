// The watch loop against a watch that tells a scripted story.
#include "cli/watch_loop.h"

#include <gtest/gtest.h>

#include <deque>
#include <sstream>

namespace nv {
namespace {

using Event = FolderWatch::Event;

class ScriptedWatch : public FolderWatch {
 public:
  explicit ScriptedWatch(std::deque<Event> events) : m_events(std::move(events)) {}
  Event Wait(int, std::string* err) override {
    EXPECT_TRUE(catching) << "Ctrl-C while waiting would end the process";
    if (m_events.empty()) return Event::Interrupted;
    const Event next = m_events.front();
    m_events.pop_front();
    if (next == Event::Failed) *err = "the folder's volume went away";
    return next;
  }
  void CatchInterrupts(bool on) override { catching = on; }

  bool catching = false;

 private:
  std::deque<Event> m_events;
};

struct WatchCase {
  const char* story;
  std::deque<Event> events;
  int runs;
  int status;
  std::string err;
};

const char kWaiting[] = "nvtheme: waiting for changes (Ctrl-C to stop)\n";
const char kAgain[] = "\n==== 14:03:27 files changed: checking again ====\n";

TEST(WatchLoopTest, RunsOncePerBurstOfChangesUntilInterrupted) {
  const std::string waiting = kWaiting, again = kAgain;
  const WatchCase cases[] = {
      {"Ctrl-C at once", {Event::Interrupted}, 1, 0, waiting},
      {"an editor saving three files",
       {Event::Changed, Event::Changed, Event::Changed, Event::Quiet, Event::Interrupted},
       2,
       0,
       waiting + again + waiting},
      {"two saves apart",
       {Event::Changed, Event::Quiet, Event::Changed, Event::Quiet, Event::Interrupted},
       3,
       0,
       waiting + again + waiting + again + waiting},
      {"Ctrl-C before the folder went quiet", {Event::Changed, Event::Interrupted}, 1, 0, waiting},
      {"the watch breaking",
       {Event::Changed, Event::Quiet, Event::Failed},
       2,
       1,
       waiting + again + waiting +
           "nvtheme: cannot watch the folders: the folder's volume went away\n"},
  };
  for (const WatchCase& c : cases) {
    ScriptedWatch watch(c.events);
    int runs = 0;
    const WatchLoop loop{watch, "checking",
                         [&] {
                           EXPECT_FALSE(watch.catching) << "Ctrl-C could not stop a run";
                           return ++runs, 1;
                         },
                         [] { return "14:03:27"; }};
    std::ostringstream out, err;
    EXPECT_EQ(c.status, loop.Run(out, err)) << c.story;
    EXPECT_EQ(c.runs, runs) << c.story;
    EXPECT_EQ(c.err, err.str()) << c.story;
  }
}

TEST(WatchLoopTest, ChangesToPackagesBeingBuiltAreNotTheAuthors) {
  const std::vector<std::string> packages = {"themes/ocean.nvp", "ocean/own.nvp"};
  const std::pair<const char*, bool> names[] = {
      {"ocean.nvp", true},   {"ocean.nvp.0123456789abcdef.tmp", true},
      {"own.nvp", true},     {"own.nvp.fedcba9876543210.tmp", true},
      {"main.xml", false},   {"ocean.nvp.tmp", false},
      {"themes.nvp", false}, {"ocean.nvp.0123456789ABCDEF.tmp", false},
  };
  for (const auto& name : names)
    EXPECT_EQ(name.second, IsPackageName(packages, name.first)) << name.first;
}

TEST(WatchLoopTest, EditorsScratchFilesAreNoChangeOfTheTheme) {
  const std::pair<const char*, bool> names[] = {
      {".main.xml.swp", true},
      {".main.xml.swo", true},
      {"4913", true},
      {"5036", true},
      {"main.xml~", true},
      {"#main.xml#", true},
      {".#main.xml", true},
      {".main.xml.kate-swp", true},
      {"main.xml", false},
      {"swap.swp", false},
      {"4914", false},
      {"~", false},
      {"#", false},
      {"shot-4913.png", false},
  };
  for (const auto& [name, scratch] : names) EXPECT_EQ(scratch, IsEditorScratch(name)) << name;
}

}  // namespace
}  // namespace nv
