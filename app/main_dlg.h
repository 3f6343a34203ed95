// The main dialog: five source-folder fields remembered in the settings
// file, each with "Browse..." and open to dropped folders, "Build", "Close",
// and the message box that shows the operation log.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <string>
#include <vector>

#include "app/dialog_impl.h"
#include "app/dpi_layout.h"
#include "app/message_loop.h"
#include "app/update_ui.h"
#include "builder/theme_builder.h"
#include "resources/resource.h"
#include "run/operation_log.h"
#include "services/component.h"

namespace nv {

class CMainDlg : public CDialogImpl<CMainDlg>,
                 public CUpdateUI<CMainDlg>,
                 public CMessageFilter,
                 public CIdleHandler,
                 public LogPublisher {
 public:
  enum { IDD = IDD_MAINDLG };

  // Obtains the component services and finds the settings file beside the
  // program.
  CMainDlg();
  ~CMainDlg() override;

  bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                            LRESULT* result) override;
  static std::vector<int> UpdateUIElements() { return {}; }

  // The dialog's keyboard handling: Tab, Enter for "Build", Escape for "Close".
  bool PreTranslateMessage(MSG* msg) override;
  bool OnIdle() override { return false; }

  // The message box shows the whole log. Only PublishLog asks it to scroll,
  // and that request waits in the queue until the build is over.
  void ReplaceText(const std::string& log) override;
  void PublishLog(const std::string& log) override;

 private:
  LRESULT OnInitDialog();
  LRESULT OnDestroy();
  LRESULT OnBuild();
  LRESULT OnClose();
  LRESULT OnBrowse(int field);
  LRESULT OnDropFiles(HDROP drop);
  LRESULT OnDpiChanged(UINT dpi, const RECT& suggested);
  int FieldAt(POINT point) const;
  void SetIcons();
  void LoadFields();
  void SaveFields();

  HWND m_messages = nullptr;
  std::string m_exeFolder;
  std::string m_iniPath;
  ServiceRef<IZlib> m_zlib;
  ServiceRef<IStringUtil> m_stringUtil;
  // Holds the operation log, which lives as long as the dialog object.
  std::unique_ptr<ThemeBuilder> m_builder;
  DpiLayout m_dpiLayout;
};

}  // namespace nv
