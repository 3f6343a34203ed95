// NuvarineThemeBuilder.exe: the main dialog and its message loop. The exit
// code is 2 after "Close", Escape or the close box, and 0 when the dialog
// can't be created.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "app/app_module.h"
#include "app/main_dlg.h"
#include "app/message_loop.h"

namespace nv {
namespace {

int RunMainDialog(int show) {
  CMessageLoop loop;
  g_appModule.AddMessageLoop(&loop);
  int exitCode = 0;
  {
    CMainDlg dialog;
    if (dialog.Create(nullptr)) {
      dialog.ShowWindow(show);
      exitCode = loop.Run();
    }
  }  // the dialog object goes, and gives up its services, after the loop
  g_appModule.RemoveMessageLoop();
  return exitCode;
}

}  // namespace
}  // namespace nv

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  CoInitialize(nullptr);
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  nv::g_appModule.Init(instance);
  const int exitCode = nv::RunMainDialog(show);
  nv::g_appModule.Term();
  CoUninitialize();
  return exitCode;
}
