// Dialogs made from the main dialog's template: binding to the window,
// message map results, the last message, and the idle-time updater.
#include "app/dialog_impl.h"

#include <gtest/gtest.h>

#include "app/update_ui.h"
#include "resources/resource.h"

namespace nv {
namespace {

constexpr UINT kAnswer = WM_APP + 7;

class TestDialog : public CDialogImpl<TestDialog>, public CUpdateUI<TestDialog> {
 public:
  enum { IDD = IDD_MAINDLG };
  static std::vector<int> UpdateUIElements() { return {IDC_BROWSE1, IDC_BROWSE2}; }

  bool ProcessWindowMessage(HWND window, UINT message, WPARAM, LPARAM, LRESULT* result) override {
    switch (message) {
      case WM_INITDIALOG:
        boundAtInit = m_hWnd == window && GetDlgItem(IDC_MESSAGES) != nullptr;
        *result = focusFirstControl;
        return true;
      case kAnswer:
        *result = 42;
        return true;
      default:
        return false;
    }
  }
  void OnFinalMessage(HWND window) override { finalWindow = window; }

  bool focusFirstControl = true;
  bool boundAtInit = false;
  HWND finalWindow = nullptr;
};

class NoTemplateDialog : public CDialogImpl<NoTemplateDialog> {
 public:
  enum { IDD = 999 };
  bool ProcessWindowMessage(HWND, UINT, WPARAM, LPARAM, LRESULT*) override { return false; }
};

class DialogImplTest : public testing::Test {
 protected:
  void SetUp() override { g_appModule.Init(GetModuleHandleA(nullptr)); }
  void TearDown() override {
    if (dialog.m_hWnd) dialog.DestroyWindow();
    g_appModule.Term();
  }
  TestDialog dialog;
};

TEST_F(DialogImplTest, ObjectIsBoundToItsWindowBeforeInitialisation) {
  HWND window = dialog.Create(nullptr);
  ASSERT_TRUE(window) << "no dialog: is there a display?";
  EXPECT_EQ(window, dialog.m_hWnd);
  EXPECT_TRUE(dialog.boundAtInit);
  EXPECT_FALSE(IsWindowVisible(window));  // shown only when asked
  EXPECT_EQ(dialog.GetDlgItem(IDOK), GetFocus());
}

TEST_F(DialogImplTest, InitialisationAnsweringFalseLeavesTheFocusAlone) {
  dialog.focusFirstControl = false;
  ASSERT_TRUE(dialog.Create(nullptr));
  EXPECT_NE(dialog.GetDlgItem(IDOK), GetFocus());
}

TEST_F(DialogImplTest, MappedMessagesAnswerWithTheirResultAndOthersGetTheDefault) {
  ASSERT_TRUE(dialog.Create(nullptr));
  EXPECT_EQ(42, SendMessageA(dialog, kAnswer, 0, 0));
  EXPECT_EQ(MAKELRESULT(IDOK, DC_HASDEFID), SendMessageA(dialog, DM_GETDEFID, 0, 0));
}

TEST_F(DialogImplTest, ObjectLetsGoOfItsWindowAfterTheLastMessage) {
  HWND window = dialog.Create(nullptr);
  ASSERT_TRUE(window);
  dialog.DestroyWindow();
  EXPECT_EQ(window, dialog.finalWindow);
  EXPECT_EQ(nullptr, dialog.m_hWnd);
}

TEST_F(DialogImplTest, MissingTemplateGivesNoWindowAndLeavesNothingWaiting) {
  NoTemplateDialog missing;
  EXPECT_EQ(nullptr, missing.Create(nullptr));
  EXPECT_EQ(nullptr, g_appModule.ExtractCreateWndData());
  EXPECT_TRUE(dialog.Create(nullptr));
}

TEST_F(DialogImplTest, UpdaterShowsMarkedElementsAtTheNextUpdate) {
  ASSERT_TRUE(dialog.Create(nullptr));
  dialog.UIAddChildWindowContainer(dialog);
  dialog.UIEnable(IDC_BROWSE1, false);
  dialog.UIEnable(IDC_BROWSE3, false);  // not in the table
  EXPECT_TRUE(IsWindowEnabled(dialog.GetDlgItem(IDC_BROWSE1)));

  dialog.UIUpdateChildWindows();
  EXPECT_FALSE(IsWindowEnabled(dialog.GetDlgItem(IDC_BROWSE1)));
  EXPECT_TRUE(IsWindowEnabled(dialog.GetDlgItem(IDC_BROWSE2)));
  EXPECT_TRUE(IsWindowEnabled(dialog.GetDlgItem(IDC_BROWSE3)));

  dialog.UIEnable(IDC_BROWSE1, true);
  dialog.UIUpdateChildWindows();
  EXPECT_TRUE(IsWindowEnabled(dialog.GetDlgItem(IDC_BROWSE1)));
}

}  // namespace
}  // namespace nv
