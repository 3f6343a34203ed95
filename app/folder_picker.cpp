// The folder pickers.
#include "app/folder_picker.h"

#include <shlobj.h>
#include <shobjidl.h>

#include <memory>
#include <optional>

#include "app/ansi_path.h"

namespace nv {

namespace {

struct ReleaseInterface {
  void operator()(IUnknown* object) const { object->Release(); }
};
template <typename T>
using InterfaceRef = std::unique_ptr<T, ReleaseInterface>;

// The full path of the folder that `start` names, or nothing when it names
// none.
std::optional<std::string> ExistingFolder(const std::string& start) {
  if (start.empty()) return std::nullopt;
  const DWORD size = GetFullPathNameA(start.c_str(), 0, nullptr, nullptr);
  if (size == 0) return std::nullopt;
  std::string full(size, '\0');
  full.resize(GetFullPathNameA(start.c_str(), size, full.data(), nullptr));
  const DWORD attributes = GetFileAttributesA(full.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
    return std::nullopt;
  return full;
}

void StartIn(IFileOpenDialog& dialog, const std::string& start) {
  const std::optional<std::string> folder = ExistingFolder(start);
  if (!folder) return;
  IShellItem* item = nullptr;
  if (FAILED(SHCreateItemFromParsingName(WidePath(*folder).c_str(), nullptr, IID_PPV_ARGS(&item))))
    return;
  dialog.SetFolder(item);  // rather than the folder the dialog remembers
  item->Release();
}

PickOutcome ResultPath(IFileOpenDialog& dialog, std::string* folder) {
  IShellItem* rawItem = nullptr;
  if (FAILED(dialog.GetResult(&rawItem))) return PickOutcome::kNothing;
  InterfaceRef<IShellItem> item(rawItem);
  wchar_t* path = nullptr;
  if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &path))) return PickOutcome::kNothing;
  const std::optional<std::string> ansi = AnsiPath(path);
  CoTaskMemFree(path);
  if (!ansi) return PickOutcome::kNothing;
  *folder = *ansi;
  return PickOutcome::kChosen;
}

// Selects the start folder once the dialog is up; the browse dialog has no
// other way to be told.
int CALLBACK SelectStartFolder(HWND dialog, UINT message, LPARAM, LPARAM start) {
  if (message == BFFM_INITIALIZED && start) SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, start);
  return 0;
}

}  // namespace

PickOutcome PickFolderWithItemDialog(HWND owner, const std::string& start, std::string* folder) {
  IFileOpenDialog* rawDialog = nullptr;
  if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(&rawDialog))))
    return PickOutcome::kUnavailable;  // before Vista
  InterfaceRef<IFileOpenDialog> dialog(rawDialog);
  FILEOPENDIALOGOPTIONS options = 0;
  dialog->GetOptions(&options);
  // Folders with a path only; and the process's current folder stays where
  // it is, since a field may hold a path relative to it.
  dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_NOCHANGEDIR);
  StartIn(*dialog, start);
  const HRESULT shown = dialog->Show(owner);
  if (shown == HRESULT_FROM_WIN32(ERROR_CANCELLED)) return PickOutcome::kNothing;
  if (FAILED(shown)) return PickOutcome::kUnavailable;
  return ResultPath(*dialog, folder);
}

PickOutcome PickFolderWithBrowseDialog(HWND owner, const std::string& start, std::string* folder) {
  const std::optional<std::string> from = ExistingFolder(start);
  BROWSEINFOA info = {};
  info.hwndOwner = owner;
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_USENEWUI;
  info.lpfn = SelectStartFolder;
  info.lParam = from ? reinterpret_cast<LPARAM>(from->c_str()) : 0;
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderA(&info);
  if (!chosen) return PickOutcome::kNothing;
  // The path in UTF-16, as the item dialog gives it: the ANSI form would
  // spell a name the code page lacks with question marks.
  wchar_t path[MAX_PATH] = {};
  const bool named = SHGetPathFromIDListW(chosen, path);
  CoTaskMemFree(chosen);
  const std::optional<std::string> ansi = named ? AnsiPath(path) : std::nullopt;
  if (!ansi) return PickOutcome::kNothing;
  *folder = *ansi;
  return PickOutcome::kChosen;
}

bool PickFolder(HWND owner, const std::string& start, std::string* folder) {
  PickOutcome outcome = PickFolderWithItemDialog(owner, start, folder);
  if (outcome == PickOutcome::kUnavailable)
    outcome = PickFolderWithBrowseDialog(owner, start, folder);
  return outcome == PickOutcome::kChosen;
}

}  // namespace nv
