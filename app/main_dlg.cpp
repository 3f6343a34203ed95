// The main dialog.
#include "app/main_dlg.h"

#include <shlwapi.h>

#include <vector>

#include "app/folder_drop.h"
#include "app/folder_picker.h"
#include "platform/file_system.h"

namespace nv {

namespace {

constexpr char kSection[] = "NuvarineThemeBuilder";
constexpr int kFieldCount = 5;
// A settings value holds at most this many characters; a longer field is
// saved cut.
constexpr int kMaxValueChars = MAX_PATH - 1;

std::string Key(int field) { return "SrcDir" + std::to_string(field); }
int FieldId(int field) { return IDC_SRCDIR1 + field - 1; }

// The field of a "Browse..." button, or 0 for another control.
int BrowsedField(int id) {
  constexpr int kBrowseButtons[kFieldCount] = {IDC_BROWSE1, IDC_BROWSE2, IDC_BROWSE3, IDC_BROWSE4,
                                               IDC_BROWSE5};
  for (int field = 1; field <= kFieldCount; ++field)
    if (kBrowseButtons[field - 1] == id) return field;
  return 0;
}

// The profile functions drop blanks around a value, and a pair of quotes
// around it; quoting a value that starts or ends with either keeps it whole.
std::string ProfileValue(const std::string& text) {
  if (text.empty()) return text;
  const auto bare = [](char c) { return c != ' ' && c != '\t' && c != '"' && c != '\''; };
  return bare(text.front()) && bare(text.back()) ? text : '"' + text + '"';
}

// The program file's folder, without its trailing backslash.
std::string ProgramFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::string folder(path);
  const size_t slash = folder.rfind('\\');
  return slash == std::string::npos ? folder : folder.substr(0, slash);
}

}  // namespace

CMainDlg::CMainDlg() {
  // The results are not looked at: the dialog opens the same whether or not
  // the services could be made, and one that could not leaves its holder
  // empty. A build then writes in its log that compression is unavailable
  // and packs nothing, and nothing calls through an empty holder.
  KestCreateInstance(u"KestRTU.dll", u"IStringUtil", m_stringUtil.Put());
  KestCreateInstance(u"KestRTU.dll", u"IZlib", m_zlib.Put());
  m_exeFolder = ProgramFolder();
  m_iniPath = m_exeFolder + "\\NuvarineThemeBuilder.ini";
  // The builder packs with IZlib alone: IStringUtil is obtained and released
  // as the component library asks, and used by nothing a build does.
  m_builder = std::make_unique<ThemeBuilder>(RealFileSystem(), *this, m_zlib.get());
}

// The services are given up in the order they were obtained, before the
// builder that points at them goes.
CMainDlg::~CMainDlg() {
  m_stringUtil.Reset();
  m_zlib.Reset();
}

bool CMainDlg::ProcessWindowMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam,
                                    LRESULT* result) {
  switch (message) {
    case WM_INITDIALOG:
      *result = OnInitDialog();
      return true;
    case WM_DESTROY:
      *result = OnDestroy();
      return true;
    case WM_COMMAND:
      // The notification code is not looked at: a button's click and a
      // key's command arrive alike.
      switch (LOWORD(wParam)) {
        case IDOK:
          *result = OnBuild();
          return true;
        case IDCANCEL:
          *result = OnClose();
          return true;
      }
      if (const int field = BrowsedField(LOWORD(wParam))) {
        *result = OnBrowse(field);
        return true;
      }
      return false;
    case WM_DROPFILES:
      *result = OnDropFiles(reinterpret_cast<HDROP>(wParam));
      return true;
    case WM_DPICHANGED:
      *result = OnDpiChanged(LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return true;
    default:
      return false;
  }
}

bool CMainDlg::PreTranslateMessage(MSG* msg) { return IsDialogMessageA(m_hWnd, msg); }

void CMainDlg::ReplaceText(const std::string& log) { SetWindowTextA(m_messages, log.c_str()); }

void CMainDlg::PublishLog(const std::string& log) {
  ReplaceText(log);
  PostMessageA(m_messages, EM_SCROLL, SB_PAGEDOWN, 0);
}

LRESULT CMainDlg::OnInitDialog() {
  CenterWindow();
  SetIcons();
  if (CMessageLoop* loop = g_appModule.GetMessageLoop()) {
    loop->AddMessageFilter(this);
    loop->AddIdleHandler(this);
  }
  UIAddChildWindowContainer(m_hWnd);
  m_messages = GetDlgItem(IDC_MESSAGES);
  SetWindowTextA(m_messages, m_builder->Log().c_str());
  LoadFields();
  DragAcceptFiles(m_hWnd, TRUE);
  m_dpiLayout.Capture(m_hWnd);
  return TRUE;  // the focus goes to the first control, "Build"
}

LRESULT CMainDlg::OnDestroy() {
  SaveFields();
  if (CMessageLoop* loop = g_appModule.GetMessageLoop()) {
    loop->RemoveMessageFilter(this);
    loop->RemoveIdleHandler(this);
  }
  return 0;
}

// Each field that names something existing is built, in field order, with
// its whole text as typed; a failed build doesn't stop the next.
LRESULT CMainDlg::OnBuild() {
  for (int field = 1; field <= kFieldCount; ++field) {
    const std::string folder = WindowText(GetDlgItem(FieldId(field)));
    if (PathFileExistsA(folder.c_str())) m_builder->BuildFolder(folder);
  }
  return 0;
}

LRESULT CMainDlg::OnClose() {
  DestroyWindow();  // saves the fields on its way
  PostQuitMessage(IDCANCEL);
  return 0;
}

// The picker is modal: it runs its own message loop, so Enter and Escape
// in it never reach the dialog's keyboard handling. What it gives goes
// into the field as typed text would, for "Build" and the settings file.
LRESULT CMainDlg::OnBrowse(int field) {
  HWND edit = GetDlgItem(FieldId(field));
  std::string folder;
  if (PickFolder(m_hWnd, WindowText(edit), &folder)) SetWindowTextA(edit, folder.c_str());
  return 0;
}

// Only the fields change: nothing is built until "Build".
LRESULT CMainDlg::OnDropFiles(HDROP drop) {
  POINT point = {};
  const bool inClient = DragQueryPoint(drop, &point);
  const std::vector<std::string> folders = DroppedFolders(drop);
  DragFinish(drop);
  std::vector<std::string> before;
  for (int field = 1; field <= kFieldCount; ++field)
    before.push_back(WindowText(GetDlgItem(FieldId(field))));
  std::vector<std::string> after = before;
  PlaceFolders(folders, inClient ? FieldAt(point) - 1 : -1, &after);
  for (int field = 1; field <= kFieldCount; ++field) {
    if (after[field - 1] != before[field - 1])
      SetWindowTextA(GetDlgItem(FieldId(field)), after[field - 1].c_str());
  }
  return 0;
}

LRESULT CMainDlg::OnDpiChanged(UINT dpi, const RECT& suggested) {
  m_dpiLayout.Apply(m_hWnd, dpi, suggested);
  return 0;
}

// The field under a point of the client area, or 0. The group box around
// the fields covers them too, so the fields' own rectangles decide.
int CMainDlg::FieldAt(POINT point) const {
  for (int field = 1; field <= kFieldCount; ++field) {
    RECT rect;
    GetWindowRect(GetDlgItem(FieldId(field)), &rect);
    MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
    if (PtInRect(&rect, point)) return field;
  }
  return 0;
}

void CMainDlg::SetIcons() {
  const auto load = [](int width, int height) {
    return static_cast<HICON>(LoadImageA(g_appModule.GetResourceInstance(),
                                         MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON, width, height,
                                         LR_SHARED));
  };
  SetIcon(load(GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON)), true);
  SetIcon(load(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON)), false);
}

// The buffer has room for a value's quotes: the profile functions cut a
// value to the buffer before they take its closing quote off.
void CMainDlg::LoadFields() {
  char value[kMaxValueChars + 3] = {};
  for (int field = 1; field <= kFieldCount; ++field) {
    GetPrivateProfileStringA(kSection, Key(field).c_str(), "", value, sizeof value,
                             m_iniPath.c_str());
    value[kMaxValueChars] = '\0';
    SetWindowTextA(GetDlgItem(FieldId(field)), value);
  }
}

// Every key is written, an empty field as an empty value, so the file
// always holds all five.
void CMainDlg::SaveFields() {
  for (int field = 1; field <= kFieldCount; ++field) {
    char value[kMaxValueChars + 1] = {};
    GetWindowTextA(GetDlgItem(FieldId(field)), value, sizeof value);
    WritePrivateProfileStringA(kSection, Key(field).c_str(), ProfileValue(value).c_str(),
                               m_iniPath.c_str());
  }
}

}  // namespace nv
