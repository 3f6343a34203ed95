// Dropped folders.
#include "app/folder_drop.h"

#include <optional>

#include "app/ansi_path.h"

namespace nv {

namespace {

constexpr UINT kCount = 0xFFFFFFFF;  // DragQueryFile's index that asks for the count

std::wstring DroppedName(HDROP drop, UINT index) {
  std::wstring name(DragQueryFileW(drop, index, nullptr, 0) + 1, L'\0');
  name.resize(DragQueryFileW(drop, index, name.data(), static_cast<UINT>(name.size())));
  return name;
}

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

// The names are read in UTF-16, as the shell holds them: the ANSI forms
// would spell a name the code page lacks with question marks.
std::vector<std::string> DroppedFolders(HDROP drop) {
  std::vector<std::string> folders;
  const UINT count = DragQueryFileW(drop, kCount, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    const std::wstring name = DroppedName(drop, i);
    if (!IsFolder(name)) continue;
    if (std::optional<std::string> folder = AnsiPath(name)) folders.push_back(*folder);
  }
  return folders;
}

void PlaceFolders(const std::vector<std::string>& folders, int target,
                  std::vector<std::string>* fields) {
  auto next = folders.begin();
  if (target >= 0 && target < static_cast<int>(fields->size()) && next != folders.end())
    (*fields)[target] = *next++;
  for (std::string& field : *fields) {
    if (next == folders.end()) break;
    if (field.empty()) field = *next++;
  }
}

}  // namespace nv
