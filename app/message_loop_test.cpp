// The message loop: filters newest first, idle passes when the queue runs
// empty, and the quit message's code as the loop's result.
#include "app/message_loop.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace nv {
namespace {

constexpr UINT kA = WM_APP + 1;
constexpr UINT kB = WM_APP + 2;

std::string Name(UINT message) {
  switch (message) {
    case kA:
      return "A";
    case kB:
      return "B";
    default:
      return std::to_string(message);
  }
}

// Writes "<name><message>" for each message offered; consumes one kind of
// message, and can drop filters of the loop when it sees a message.
class RecordingFilter : public CMessageFilter {
 public:
  RecordingFilter(std::string name, std::string* log, UINT consumes = 0)
      : m_name(std::move(name)), m_log(log), m_consumes(consumes) {}

  bool PreTranslateMessage(MSG* msg) override {
    *m_log += m_name + Name(msg->message) + " ";
    for (CMessageFilter* f : dropOnMessage) loop->RemoveMessageFilter(f);
    return msg->message == m_consumes;
  }

  CMessageLoop* loop = nullptr;
  std::vector<CMessageFilter*> dropOnMessage;

 private:
  std::string m_name;
  std::string* m_log;
  UINT m_consumes;
};

// Writes "<name>" for each idle pass and posts the next of its messages.
class RecordingIdleHandler : public CIdleHandler {
 public:
  RecordingIdleHandler(std::string name, std::string* log, std::vector<UINT> posts = {})
      : m_name(std::move(name)), m_log(log), m_posts(std::move(posts)) {}

  bool OnIdle() override {
    *m_log += m_name + " ";
    if (m_next < m_posts.size()) {
      const UINT message = m_posts[m_next++];
      if (message == WM_QUIT)
        PostQuitMessage(0);
      else
        PostThreadMessageA(GetCurrentThreadId(), message, 0, 0);
    }
    return true;  // asks for more; the loop gives one pass per emptying all the same
  }

 private:
  std::string m_name;
  std::string* m_log;
  std::vector<UINT> m_posts;
  size_t m_next = 0;
};

// Records what reaches the window's procedure: dispatched messages.
class DispatchTarget {
 public:
  explicit DispatchTarget(std::string* log) {
    WNDCLASSA c = {};
    c.lpfnWndProc = [](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
      if (auto* log = reinterpret_cast<std::string*>(GetWindowLongPtrA(w, GWLP_USERDATA)))
        if (m == kA || m == kB) *log += "dispatched" + Name(m) + " ";
      return DefWindowProcA(w, m, wp, lp);
    };
    c.hInstance = GetModuleHandleA(nullptr);
    c.lpszClassName = "NvDispatchTarget";
    RegisterClassA(&c);
    window = CreateWindowA("NvDispatchTarget", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           c.hInstance, nullptr);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(log));
  }
  ~DispatchTarget() { DestroyWindow(window); }
  HWND window;
};

TEST(MessageLoop, OffersEachMessageToTheNewestFilterFirstUntilOneConsumesIt) {
  std::string log;
  DispatchTarget target(&log);
  ASSERT_TRUE(target.window);
  RecordingFilter first("1", &log), second("2", &log, kB), third("3", &log);
  CMessageLoop loop;
  for (CMessageFilter* f : {&first, &second, &third}) loop.AddMessageFilter(f);
  PostMessageA(target.window, kA, 0, 0);
  PostMessageA(target.window, kB, 0, 0);
  PostQuitMessage(7);

  EXPECT_EQ(7, loop.Run());
  EXPECT_EQ("3A 2A 1A dispatchedA 3B 2B ", log);
}

// Closing a dialog takes its filter out while the filter runs; the offer
// goes on with the filters that are left.
TEST(MessageLoop, FiltersMayLeaveWhileTheyAreOffered) {
  std::string log;
  RecordingFilter first("1", &log), second("2", &log), third("3", &log);
  CMessageLoop loop;
  for (CMessageFilter* f : {&first, &second, &third}) loop.AddMessageFilter(f);
  third.loop = &loop;
  third.dropOnMessage = {&third, &second};
  PostThreadMessageA(GetCurrentThreadId(), kA, 0, 0);
  PostThreadMessageA(GetCurrentThreadId(), kB, 0, 0);
  PostQuitMessage(0);

  loop.Run();
  EXPECT_EQ("3A 1A 1B ", log);
}

TEST(MessageLoop, RunsEveryIdleHandlerInOrderEachTimeTheQueueRunsEmpty) {
  std::string log;
  RecordingIdleHandler first("i1", &log, {kA, WM_QUIT}), second("i2", &log);
  RecordingFilter filter("", &log);
  CMessageLoop loop;
  loop.AddIdleHandler(&first);
  loop.AddIdleHandler(&second);
  loop.AddMessageFilter(&filter);

  loop.Run();
  EXPECT_EQ("i1 i2 A i1 i2 ", log);
}

// After the first idle pass one message arrives; another thread ends the
// loop a little later. Whether a second pass comes in between shows whether
// that message switched idle processing back on.
std::string IdlePassesAround(UINT message) {
  std::string log;
  RecordingIdleHandler handler("idle", &log, {message});
  RecordingFilter filter("", &log);
  CMessageLoop loop;
  loop.AddIdleHandler(&handler);
  loop.AddMessageFilter(&filter);
  const DWORD loopThread = GetCurrentThreadId();
  std::thread quitter([loopThread] {
    Sleep(300);
    PostThreadMessageA(loopThread, WM_QUIT, 0, 0);
  });
  loop.Run();
  quitter.join();
  return log;
}

TEST(MessageLoop, StreamingMessagesLeaveIdleProcessingOff) {
  for (UINT message : {UINT(WM_MOUSEMOVE), UINT(WM_NCMOUSEMOVE), UINT(WM_PAINT), 0x0118u})
    EXPECT_EQ("idle " + Name(message) + " ", IdlePassesAround(message)) << message;
}

TEST(MessageLoop, OtherMessagesSwitchIdleProcessingBackOn) {
  for (UINT message : {UINT(WM_KEYDOWN), UINT(WM_LBUTTONDOWN), UINT(WM_TIMER), kA})
    EXPECT_EQ("idle " + Name(message) + " idle ", IdlePassesAround(message)) << message;
}

}  // namespace
}  // namespace nv
