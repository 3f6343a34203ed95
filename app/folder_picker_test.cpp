// The browse-for-folder picker, which the dialog falls back on where the
// common item dialog is unavailable, driven from a second thread as a user
// would drive it. (The item dialog is met through the program's window.)
#include "app/folder_picker.h"

#include <objbase.h>
#include <shlobj.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>

#include "testing/owned_window_win32.h"

namespace nv {
namespace {

namespace fs = std::filesystem;

// Waits a few seconds at most for a visible window owned by `owner`.
HWND WaitForOwnedWindow(HWND owner) {
  HWND found = nullptr;
  for (int i = 0; i < 500 && !found; ++i) {
    Sleep(20);
    found = FindOwnedWindow(owner);
  }
  return found;
}

// The text of the folder the picker's tree has selected, or empty.
std::string SelectedFolder(HWND picker) {
  HWND tree = FindWindowExA(picker, nullptr, "SysTreeView32", nullptr);
  HTREEITEM item = tree ? TreeView_GetSelection(tree) : nullptr;
  char text[MAX_PATH] = {};
  TVITEMA entry = {};
  entry.mask = TVIF_TEXT;
  entry.hItem = item;
  entry.pszText = text;
  entry.cchTextMax = sizeof text;
  if (!item || !SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&entry))) return "";
  return text;
}

// The picker selects its starting folder once it has filled its tree, a
// moment after it shows: a user acts on it only then.
void WaitForSelection(HWND picker, const std::string& name) {
  for (int i = 0; i < 500 && SelectedFolder(picker) != name; ++i) Sleep(20);
}

class BrowseDialogTest : public testing::Test {
 protected:
  void SetUp() override {
    CoInitialize(nullptr);
    m_owner = CreateWindowA("STATIC", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100,
                            nullptr, nullptr, nullptr, nullptr);
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof temp, temp);
    m_folder = std::string(temp) + "nvpick-" + std::to_string(GetCurrentProcessId());
    fs::create_directories(m_folder + "\\a");
    fs::create_directories(m_folder + "\\b");
  }
  void TearDown() override {
    DestroyWindow(m_owner);
    std::error_code ignored;
    fs::remove_all(m_folder, ignored);
    CoUninitialize();
  }

  HWND m_owner = nullptr;
  std::string m_folder;
};

// Each case: where the picker starts, the folder the user selects in it
// (none: the one it started in), and whether they press OK or Cancel.
TEST_F(BrowseDialogTest, StartsInTheFieldsFolderAndGivesTheChosenOne) {
  struct Case {
    const char* name;
    std::string start;
    std::string select;
    int button;
    PickOutcome outcome;
    std::string folder;
  };
  const std::string a = m_folder + "\\a", b = m_folder + "\\b";
  const Case cases[] = {
      {"OK where it started", a, "", IDOK, PickOutcome::kChosen, a},
      {"OK on another folder", a, b, IDOK, PickOutcome::kChosen, b},
      {"Cancel", a, b, IDCANCEL, PickOutcome::kNothing, "untouched"},
  };
  // Under Wine the picker may fill its tree late, when a drive is slow to
  // answer: a user who acted before it selected its folder tries again,
  // as a person would, a few times.
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    bool ownerEnabled = true;
    PickOutcome outcome = PickOutcome::kNothing;
    std::string folder;
    for (int attempt = 0; attempt < 3 && (attempt == 0 || folder != c.folder); ++attempt) {
      std::thread user([&] {
        HWND picker = WaitForOwnedWindow(m_owner);
        WaitForSelection(picker, "a");
        ownerEnabled = IsWindowEnabled(m_owner);
        if (!c.select.empty())
          SendMessageA(picker, BFFM_SETSELECTIONA, TRUE,
                       reinterpret_cast<LPARAM>(c.select.c_str()));
        PostMessageA(GetDlgItem(picker, c.button), BM_CLICK, 0, 0);
      });
      folder = "untouched";
      outcome = PickFolderWithBrowseDialog(m_owner, c.start, &folder);
      user.join();
    }
    EXPECT_EQ(c.outcome, outcome);
    EXPECT_EQ(c.folder, folder);
    EXPECT_FALSE(ownerEnabled) << "the picker is not modal";
  }
}

}  // namespace
}  // namespace nv
