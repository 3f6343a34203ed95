// The compiled resources, read back from the module they are linked into:
// the main dialog's template field by field, the icon's images, the version
// information and the manifest.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "resources/resource.h"

namespace nv {
namespace {

// The raw bytes of a resource of this program.
std::string ResourceBytes(const char* type, int id) {
  HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(id), type);
  if (!found) return {};
  const char* data = static_cast<const char*>(LockResource(LoadResource(nullptr, found)));
  return std::string(data, SizeofResource(nullptr, found));
}

// Reads the fields of an extended dialog template in their order.
class TemplateReader {
 public:
  explicit TemplateReader(std::string bytes) : m_bytes(std::move(bytes)) {}

  template <typename T>
  T Read() {
    T value{};
    if (m_at + sizeof value <= m_bytes.size()) std::memcpy(&value, &m_bytes[m_at], sizeof value);
    m_at += sizeof value;
    return value;
  }
  // A text or an ordinal: ordinals come back as "#" and the number.
  std::string ReadTextOrOrdinal() {
    if (Read<uint16_t>() == 0xFFFF) return "#" + std::to_string(Read<uint16_t>());
    m_at -= 2;
    return ReadText();
  }
  std::string ReadText() {
    std::string text;
    for (uint16_t c; (c = Read<uint16_t>()) != 0;) text += static_cast<char>(c);
    return text;
  }
  void AlignToDword() { m_at = (m_at + 3) & ~size_t{3}; }
  bool AtEnd() const { return m_at >= m_bytes.size(); }

 private:
  std::string m_bytes;
  size_t m_at = 0;
};

struct Control {
  int id;
  std::string className;  // "#128" is a button, "#129" an edit control
  std::string text;
  int x, y, width, height;
  DWORD style;

  bool operator==(const Control& o) const {
    return id == o.id && className == o.className && text == o.text && x == o.x && y == o.y &&
           width == o.width && height == o.height && style == o.style;
  }
};

std::ostream& operator<<(std::ostream& out, const Control& c) {
  return out << c.id << " " << c.className << " \"" << c.text << "\" " << c.x << "," << c.y << ","
             << c.width << "," << c.height << " style 0x" << std::hex << c.style << std::dec;
}

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kButton = kChild | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kGroupBox = kChild | BS_GROUPBOX;
constexpr DWORD kField = kChild | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
constexpr DWORD kMessageBox =
    kChild | WS_BORDER | WS_VSCROLL | WS_TABSTOP | ES_MULTILINE | ES_AUTOHSCROLL;

// The controls in Tab order, with the texts as the dialog shows them.
const std::vector<Control> kControls = {
    {IDOK, "#128", "Build", 255, 230, 50, 14, kButton | BS_DEFPUSHBUTTON},
    {IDCANCEL, "#128", "Close", 310, 230, 50, 14, kButton},
    {-1, "#128", "Select souce folders", 7, 7, 353, 113, kGroupBox},
    {IDC_SRCDIR1, "#129", "", 18, 24, 278, 12, kField},
    {IDC_BROWSE1, "#128", "Browse...", 301, 23, 50, 14, kButton},
    {IDC_SRCDIR2, "#129", "", 17, 42, 278, 12, kField},
    {IDC_BROWSE2, "#128", "Browse...", 301, 41, 50, 14, kButton},
    {IDC_SRCDIR3, "#129", "", 17, 61, 278, 12, kField},
    {IDC_BROWSE3, "#128", "Browse...", 301, 60, 50, 14, kButton},
    {IDC_SRCDIR4, "#129", "", 17, 80, 278, 12, kField},
    {IDC_BROWSE4, "#128", "Browse...", 301, 79, 50, 14, kButton},
    {IDC_SRCDIR5, "#129", "", 17, 98, 278, 12, kField},
    {IDC_BROWSE5, "#128", "Browse...", 301, 96, 50, 14, kButton},
    {-1, "#128", "Messsages", 7, 126, 353, 96, kGroupBox},
    {IDC_MESSAGES, "#129", "", 17, 139, 334, 73, kMessageBox},
};

TEST(MainDialogTemplate, HeaderIsAnExtendedTemplateWithShellFont) {
  TemplateReader t(ResourceBytes(MAKEINTRESOURCEA(5) /* RT_DIALOG */, IDD_MAINDLG));
  EXPECT_EQ(1, t.Read<uint16_t>());       // version
  EXPECT_EQ(0xFFFF, t.Read<uint16_t>());  // signature of an extended template
  EXPECT_EQ(0u, t.Read<uint32_t>());      // help id
  EXPECT_EQ(0u, t.Read<uint32_t>());      // extended style
  // Caption, system menu with close box, minimise box, shell font; hidden,
  // and neither resizable nor maximisable.
  EXPECT_EQ(DWORD(WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_SETFONT | DS_FIXEDSYS),
            t.Read<uint32_t>());
  EXPECT_EQ(kControls.size(), t.Read<uint16_t>());
  EXPECT_EQ(0, t.Read<int16_t>());
  EXPECT_EQ(0, t.Read<int16_t>());
  EXPECT_EQ(367, t.Read<int16_t>());
  EXPECT_EQ(251, t.Read<int16_t>());
  EXPECT_EQ("", t.ReadTextOrOrdinal());  // no menu
  EXPECT_EQ("", t.ReadTextOrOrdinal());  // the default dialog class
  EXPECT_EQ("Nuvarine Theme Builder", t.ReadText());
  EXPECT_EQ(8, t.Read<uint16_t>());  // points
  t.Read<uint16_t>();                // weight
  t.Read<uint8_t>();                 // italic
  t.Read<uint8_t>();                 // character set
  EXPECT_EQ("MS Shell Dlg", t.ReadText());
}

TEST(MainDialogTemplate, ControlsAreExactlyTheDialogsInTabOrder) {
  TemplateReader t(ResourceBytes(MAKEINTRESOURCEA(5), IDD_MAINDLG));
  t.Read<uint16_t>(), t.Read<uint16_t>(), t.Read<uint32_t>(), t.Read<uint32_t>();
  t.Read<uint32_t>();
  const uint16_t count = t.Read<uint16_t>();
  for (int i = 0; i < 4; ++i) t.Read<int16_t>();
  t.ReadTextOrOrdinal(), t.ReadTextOrOrdinal(), t.ReadText();
  t.Read<uint16_t>(), t.Read<uint16_t>(), t.Read<uint8_t>(), t.Read<uint8_t>(), t.ReadText();

  std::vector<Control> controls;
  for (int i = 0; i < count; ++i) {
    t.AlignToDword();
    Control c;
    t.Read<uint32_t>();                      // help id
    EXPECT_EQ(0u, t.Read<uint32_t>()) << i;  // extended style
    c.style = t.Read<uint32_t>();
    c.x = t.Read<int16_t>();
    c.y = t.Read<int16_t>();
    c.width = t.Read<int16_t>();
    c.height = t.Read<int16_t>();
    c.id = t.Read<int32_t>();
    c.className = t.ReadTextOrOrdinal();
    c.text = t.ReadTextOrOrdinal();
    EXPECT_EQ(0, t.Read<uint16_t>()) << i;  // no creation data
    controls.push_back(c);
  }
  EXPECT_TRUE(t.AtEnd());
  EXPECT_EQ(kControls, controls);
}

TEST(ProgramIcon, HoldsSmallAndLargeImagesInFullColour) {
  const std::string group = ResourceBytes(MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */, IDR_MAINFRAME);
  ASSERT_GE(group.size(), 6u);
  const int count = static_cast<uint8_t>(group[4]);
  std::vector<int> sizes;
  for (int i = 0; i < count; ++i) {
    const char* entry = group.data() + 6 + 14 * i;  // width, height, colours, 0, planes, bits...
    sizes.push_back(static_cast<uint8_t>(entry[0]));
    EXPECT_EQ(32, static_cast<uint8_t>(entry[6])) << "bits per pixel of image " << i;
  }
  EXPECT_EQ((std::vector<int>{16, 32, 48}), sizes);
}

std::string VersionString(const std::vector<char>& info, const std::string& name) {
  char* value = nullptr;
  UINT length = 0;
  const std::string path = "\\StringFileInfo\\040904B0\\" + name;
  if (!VerQueryValueA(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &length))
    return "<absent>";
  return std::string(value, length ? length - 1 : 0);
}

TEST(VersionInformation, NamesTheProgramAtVersion1001) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::vector<char> info(GetFileVersionInfoSizeA(path, nullptr));
  ASSERT_FALSE(info.empty());
  ASSERT_TRUE(GetFileVersionInfoA(path, 0, static_cast<DWORD>(info.size()), info.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(MAKELONG(0, 1), fixed->dwFileVersionMS);
  EXPECT_EQ(MAKELONG(1, 0), fixed->dwFileVersionLS);
  EXPECT_EQ(fixed->dwFileVersionMS, fixed->dwProductVersionMS);
  EXPECT_EQ(fixed->dwFileVersionLS, fixed->dwProductVersionLS);
  EXPECT_EQ(DWORD(VFT_APP), fixed->dwFileType);

  EXPECT_EQ("NuvarineThemeBuilder Module", VersionString(info, "FileDescription"));
  EXPECT_EQ("NuvarineThemeBuilder", VersionString(info, "InternalName"));
  EXPECT_EQ("NuvarineThemeBuilder.exe", VersionString(info, "OriginalFilename"));
  EXPECT_EQ("1.0.0.1", VersionString(info, "FileVersion"));
  EXPECT_EQ("1.0.0.1", VersionString(info, "ProductVersion"));
}

// What the system read from the manifest of this program, which links the
// same resources: a setting of its windowsSettings, or "<absent>".
std::wstring WindowsSetting(const wchar_t* schema, const wchar_t* name) {
  wchar_t value[64] = {};
  SIZE_T length = 0;
  if (!QueryActCtxSettingsW(0, nullptr, schema, name, value, 64, &length)) return L"<absent>";
  return value;
}

TEST(ApplicationManifest, AsksForPerMonitorDpiAwarenessWithSystemAwareFallback) {
  EXPECT_EQ(
      L"PerMonitorV2,PerMonitor",
      WindowsSetting(L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"dpiAwareness"));
  EXPECT_EQ(L"true/pm",
            WindowsSetting(L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", L"dpiAware"));
}

TEST(ApplicationManifest, RunsAsInvokerWithCommonControls6) {
  const std::string manifest = ResourceBytes(MAKEINTRESOURCEA(24) /* RT_MANIFEST */, 1);
  EXPECT_NE(std::string::npos, manifest.find("level=\"asInvoker\""));
  EXPECT_NE(std::string::npos,
            manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""));
}

}  // namespace
}  // namespace nv
