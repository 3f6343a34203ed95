// NuvarineThemeBuilder.exe met as a user meets it: a copy of the program in
// a fresh folder, started, typed into, its buttons and keys pressed, closed,
// and its exit code and settings file read afterwards.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "testing/program_driver_win32.h"

namespace nv {
namespace {

namespace fs = std::filesystem;

constexpr char kTitle[] = "Nuvarine Theme Builder";
constexpr char kSection[] = "NuvarineThemeBuilder";
constexpr int kFields[] = {IDC_SRCDIR1, IDC_SRCDIR2, IDC_SRCDIR3, IDC_SRCDIR4, IDC_SRCDIR5};
constexpr int kBrowseButtons[] = {IDC_BROWSE1, IDC_BROWSE2, IDC_BROWSE3, IDC_BROWSE4, IDC_BROWSE5};

std::string ThisProgramFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::string folder(path);
  return folder.substr(0, folder.rfind('\\'));
}

// The nvtheme command of the same build.
std::string Nvtheme() { return '"' + ThisProgramFolder() + "\\..\\cli\\nvtheme.exe\""; }

// What one build of a folder without a usable manifest writes.
std::string FailedRun(const std::string& folder) {
  return "\r\nProcessing " + folder + " ...\r\nProcessing " + folder +
         "\\main.xml ... failed\r\n\r\n";
}

std::wstring Wide(const std::string& text) {
  std::wstring wide(text.size(), L'\0');
  wide.resize(MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                  wide.data(), static_cast<int>(wide.size())));
  return wide;
}

// The box of a folder picker in which a name or path is typed: its first
// visible edit control.
HWND NameBox(HWND picker) {
  HWND found = nullptr;
  EnumChildWindows(
      picker,
      [](HWND window, LPARAM param) -> BOOL {
        char className[8] = {};
        GetClassNameA(window, className, sizeof className);
        if (lstrcmpiA(className, "Edit") != 0 || !IsWindowVisible(window)) return TRUE;
        *reinterpret_cast<HWND*>(param) = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// A control's rectangle in the dialog's client coordinates.
RECT RectIn(HWND dialog, HWND control) {
  RECT rect;
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

POINT CentreOf(HWND dialog, HWND control) {
  const RECT rect = RectIn(dialog, control);
  return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

// Every control lies inside the dialog's client area, and each push
// button is at least the size that fits its text in the font it is drawn
// with. (A group box's ideal size is its own size, so there it says
// nothing.)
void ExpectNothingClipped(const ProgramDriver& program) {
  RECT client;
  GetClientRect(program.Window(), &client);
  for (HWND control : program.Controls()) {
    char text[64] = {};
    GetWindowTextA(control, text, sizeof text);
    SCOPED_TRACE(std::to_string(GetDlgCtrlID(control)) + " \"" + text + "\"");
    const RECT rect = RectIn(program.Window(), control);
    EXPECT_GE(rect.left, client.left);
    EXPECT_GE(rect.top, client.top);
    EXPECT_LE(rect.right, client.right);
    EXPECT_LE(rect.bottom, client.bottom);
    if ((GetWindowLongA(control, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX) continue;
    char className[8] = {};
    GetClassNameA(control, className, sizeof className);
    if (lstrcmpiA(className, "Button") != 0) continue;
    const SIZE fits = program.IdealSize(control);
    EXPECT_LE(fits.cx, rect.right - rect.left);
    EXPECT_LE(fits.cy, rect.bottom - rect.top);
  }
}

class MainDialogTest : public testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof temp, temp);
    static int count = 0;
    m_folder = std::string(temp) + "nvdlg-" + std::to_string(GetCurrentProcessId()) + "-" +
               std::to_string(++count);
    fs::remove_all(m_folder);
    ASSERT_TRUE(fs::create_directory(m_folder));
    ASSERT_TRUE(CopyFileA((ThisProgramFolder() + "\\NuvarineThemeBuilder.exe").c_str(),
                          Program().c_str(), TRUE));
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(m_folder, ignored);
  }

  std::string Program() const { return m_folder + "\\NuvarineThemeBuilder.exe"; }
  std::string Ini() const { return m_folder + "\\NuvarineThemeBuilder.ini"; }
  std::string Path(const std::string& name) const { return m_folder + "\\" + name; }

  // A folder with nothing in it, so its build fails the manifest check.
  std::string EmptyFolder(const std::string& name) const {
    fs::create_directory(Path(name));
    return Path(name);
  }

  // Starts the copy and checks that its dialog shows.
  std::unique_ptr<ProgramDriver> Start() const {
    auto program = std::make_unique<ProgramDriver>(Program());
    EXPECT_NE(nullptr, program->Window()) << "no dialog: is there a display?";
    return program;
  }

  // Closes by "Close" and checks the exit code.
  static void Close(ProgramDriver& program) {
    program.Click(IDCANCEL);
    EXPECT_EQ(2, program.WaitForExit());
  }

  std::string Setting(const std::string& key) const {
    char value[1024] = {};
    GetPrivateProfileStringA(kSection, key.c_str(), "<absent>", value, sizeof value, Ini().c_str());
    return value;
  }

  // The section's lines, key=value, as the profile functions list them.
  std::vector<std::string> SectionLines() const {
    std::vector<char> buffer(32768);
    GetPrivateProfileSectionA(kSection, buffer.data(), static_cast<DWORD>(buffer.size()),
                              Ini().c_str());
    std::vector<std::string> lines;
    for (const char* p = buffer.data(); *p; p += lines.back().size() + 1) lines.emplace_back(p);
    return lines;
  }

  std::string m_folder;
};

TEST_F(MainDialogTest, FirstStartShowsAnEmptyCentredDialogAndSavesEveryKey) {
  ASSERT_FALSE(fs::exists(Ini()));
  auto program = Start();
  ASSERT_TRUE(program->Window());

  char title[64] = {};
  GetWindowTextA(program->Window(), title, sizeof title);
  EXPECT_STREQ(kTitle, title);
  for (int id : kFields) EXPECT_EQ("", program->Text(id)) << id;
  EXPECT_EQ("", program->Text(IDC_MESSAGES));

  RECT window, area;
  GetWindowRect(program->Window(), &window);
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  EXPECT_NEAR((area.left + area.right) / 2, (window.left + window.right) / 2, 1);
  EXPECT_NEAR((area.top + area.bottom) / 2, (window.top + window.bottom) / 2, 1);

  Close(*program);
  const std::vector<std::string> expected = {
      "SrcDir1=", "SrcDir2=", "SrcDir3=", "SrcDir4=", "SrcDir5="};
  EXPECT_EQ(expected, SectionLines());
}

TEST_F(MainDialogTest, FieldsComeBackOnTheNextStart) {
  WritePrivateProfileStringA("Elsewhere", "Kept", "yes", Ini().c_str());
  const std::vector<std::string> typed = {"C:\\themes\\ocean", "", "relative\\folder\\",
                                          " blanks around ", "\"quoted\""};
  {
    auto program = Start();
    for (size_t i = 0; i < typed.size(); ++i) program->Type(kFields[i], typed[i]);
    Close(*program);
  }
  EXPECT_EQ("C:\\themes\\ocean", Setting("SrcDir1"));
  EXPECT_EQ("", Setting("SrcDir2"));

  auto program = Start();
  for (size_t i = 0; i < typed.size(); ++i) EXPECT_EQ(typed[i], program->Text(kFields[i]));
  Close(*program);
  char kept[8] = {};
  GetPrivateProfileStringA("Elsewhere", "Kept", "", kept, sizeof kept, Ini().c_str());
  EXPECT_STREQ("yes", kept);
}

// "Close", Escape and the close box all end the program with exit code 2,
// and all save the fields on the way.
TEST_F(MainDialogTest, EveryWayOfClosingSavesTheFieldsAndEndsWithTwo) {
  struct Way {
    const char* name;
    void (*close)(ProgramDriver&);
  };
  const Way ways[] = {
      {"Close", [](ProgramDriver& p) { p.Click(IDCANCEL); }},
      {"Escape", [](ProgramDriver& p) { p.PressKey(VK_ESCAPE); }},
      {"close box", [](ProgramDriver& p) { p.PressCloseBox(); }},
  };
  for (const Way& way : ways) {
    SCOPED_TRACE(way.name);
    auto program = Start();
    program->Type(IDC_SRCDIR3, std::string("closed by ") + way.name);
    way.close(*program);
    EXPECT_EQ(2, program->WaitForExit());
    EXPECT_EQ(std::string("closed by ") + way.name, Setting("SrcDir3"));
  }
}

// The path functions refuse names over 259 characters, so a 300-character
// field whose first 259 characters name a folder shows which text a build
// takes: the whole text names nothing, the cut one names the folder.
TEST_F(MainDialogTest, LongPathIsSavedCutButBuiltWhole) {
  const std::string cut = m_folder + "\\" + std::string(258 - m_folder.size(), 'd');
  ASSERT_EQ(259u, cut.size());
  ASSERT_TRUE(fs::create_directory(fs::u8path(cut)));
  const std::string whole = cut + "\\" + std::string(40, 'x');
  ASSERT_EQ(300u, whole.size());
  {
    auto program = Start();
    program->Type(IDC_SRCDIR1, whole);
    EXPECT_EQ(whole, program->Text(IDC_SRCDIR1));
    program->Click(IDOK);
    EXPECT_EQ("", program->Text(IDC_MESSAGES));
    Close(*program);
  }
  EXPECT_EQ(cut, Setting("SrcDir1"));

  auto program = Start();
  EXPECT_EQ(cut, program->Text(IDC_SRCDIR1));
  program->Click(IDOK);
  EXPECT_EQ(FailedRun(cut), program->Text(IDC_MESSAGES));
  Close(*program);
}

// Each "Browse..." opens the folder picker for its field, modal to the
// dialog and starting in the field's folder when there is one. Enter in the
// picker confirms it, not "Build"; the field then holds the folder as if it
// were typed: "Build" builds it and closing saves it.
TEST_F(MainDialogTest, BrowsePicksAFolderIntoItsField) {
  struct Pick {
    std::string before;  // the field's text when its "Browse..." is pressed
    std::string typed;   // into the picker's name box
    std::string chosen;
  };
  const std::string a = EmptyFolder("a"), b = EmptyFolder("b"), c = EmptyFolder("c");
  const std::string bSub = EmptyFolder("b\\sub"), cSub = EmptyFolder("c\\sub");
  // One a field, in field order.
  const Pick picks[] = {
      {"", a, a},                // a whole path
      {"b", "sub", bSub},        // a name in the field's folder, relative to the program's
      {c, "sub", cSub},          // a name in the field's folder
      {"no such folder", c, c},  // a field naming no folder
      {Path("missing"), a, a},   // nor this one
  };
  auto program = Start();
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(kBrowseButtons[i]);
    program->Type(kFields[i], picks[i].before);
    program->ClickWithoutWaiting(kBrowseButtons[i]);
    HWND picker = program->WaitForOwnedWindow();
    ASSERT_TRUE(picker) << "no picker came up";
    EXPECT_FALSE(IsWindowEnabled(program->Window())) << "the picker is not modal";
    ASSERT_TRUE(NameBox(picker));
    program->Type(NameBox(picker), picks[i].typed);
    program->PressKey(VK_RETURN, picker);
    ASSERT_TRUE(program->WaitForClosed(picker));
    EXPECT_EQ(picks[i].chosen, program->Text(kFields[i]));
    EXPECT_TRUE(IsWindowEnabled(program->Window()));
  }
  EXPECT_EQ("", program->Text(IDC_MESSAGES));
  program->Click(IDOK);
  std::string log;
  for (const Pick& pick : picks) log += FailedRun(pick.chosen);
  EXPECT_EQ(log, program->Text(IDC_MESSAGES));
  Close(*program);
  EXPECT_EQ(bSub, Setting("SrcDir2"));
}

// Escape in the picker cancels it, not the dialog: the field keeps its
// text, and the program goes on to take more typing and save it.
TEST_F(MainDialogTest, CancelledBrowseChangesNothing) {
  const std::string a = EmptyFolder("a");
  auto program = Start();
  program->Type(IDC_SRCDIR4, "typed by hand");
  program->ClickWithoutWaiting(IDC_BROWSE4);
  HWND picker = program->WaitForOwnedWindow();
  ASSERT_TRUE(picker) << "no picker came up";
  program->Type(NameBox(picker), a);
  program->PressKey(VK_ESCAPE, picker);
  ASSERT_TRUE(program->WaitForClosed(picker));
  EXPECT_EQ("typed by hand", program->Text(IDC_SRCDIR4));
  program->Type(IDC_SRCDIR1, "typed after");
  Close(*program);
  EXPECT_EQ("typed by hand", Setting("SrcDir4"));
  EXPECT_EQ("typed after", Setting("SrcDir1"));
}

// Dropped folders go into the field they are dropped on, or, dropped
// elsewhere, into the empty fields in order. Files, and folders for which no
// empty field is left, are ignored; nothing is built.
TEST_F(MainDialogTest, DroppedFoldersFillTheFields) {
  struct Drop {
    const char* name;
    std::vector<std::string> before;
    int onto;  // a control of the dialog
    std::vector<std::string> dropped;
    std::vector<std::string> after;
  };
  const std::string a = EmptyFolder("a"), b = EmptyFolder("b"), c = EmptyFolder("c");
  const std::string d = EmptyFolder("d"), e = EmptyFolder("e");
  const std::string file = Path("notes.txt");
  std::ofstream(file) << "not a folder";
  const Drop drops[] = {
      {"one on a field", {"x", "", "", "", ""}, IDC_SRCDIR3, {a}, {"x", "", a, "", ""}},
      {"one on a filled field", {"x", "", "", "", ""}, IDC_SRCDIR1, {a}, {a, "", "", "", ""}},
      {"two on a field", {"x", "", "", "", ""}, IDC_SRCDIR3, {a, b}, {"x", b, a, "", ""}},
      {"a file on a field", {"x", "", "", "", ""}, IDC_SRCDIR2, {file}, {"x", "", "", "", ""}},
      {"elsewhere",
       {"", "kept", "", "", ""},
       IDC_MESSAGES,
       {file, a, b, Path("missing"), c, d, e},
       {a, "kept", b, c, d}},
  };
  auto program = Start();
  for (const Drop& drop : drops) {
    SCOPED_TRACE(drop.name);
    for (size_t i = 0; i < drop.before.size(); ++i) program->Type(kFields[i], drop.before[i]);
    std::vector<std::wstring> dropped;
    for (const std::string& path : drop.dropped) dropped.push_back(Wide(path));
    program->DropFiles(CentreOf(program->Window(), program->Control(drop.onto)), dropped);
    std::vector<std::string> after;
    for (int id : kFields) after.push_back(program->Text(id));
    EXPECT_EQ(drop.after, after);
  }
  EXPECT_EQ("", program->Text(IDC_MESSAGES));
  Close(*program);
}

// A folder whose name the ANSI code page can't spell reaches the field by
// its short name, which names the same folder.
TEST_F(MainDialogTest, DroppedFolderOutsideTheCodePageComesByItsShortName) {
  const std::wstring omega = Wide(m_folder) + L"\\\u03A9mega folder";
  ASSERT_TRUE(CreateDirectoryW(omega.c_str(), nullptr));
  auto program = Start();
  program->DropFiles(CentreOf(program->Window(), program->Control(IDC_SRCDIR1)), {omega});
  const std::string field = program->Text(IDC_SRCDIR1);
  EXPECT_EQ(std::string::npos, field.find('?')) << field;
  wchar_t longPath[MAX_PATH] = {};
  GetLongPathNameW(Wide(field).c_str(), longPath, MAX_PATH);
  EXPECT_EQ(omega, longPath) << field;
  Close(*program);
}

// Moved onto a monitor of half as much scale again, the dialog lays itself
// out anew: the window goes where the system suggests, its client area and
// every control grow by the same factor, the font with them, and no control
// is clipped.
TEST_F(MainDialogTest, DialogScalesWithTheMonitorItMovesTo) {
  auto program = Start();
  HWND dialog = program->Window();
  const UINT dpi = GetDpiForWindow(dialog);
  const auto scaled = [&](LONG value) { return MulDiv(value, 3, 2); };
  RECT client;
  GetClientRect(dialog, &client);
  std::vector<RECT> before;
  for (HWND control : program->Controls()) before.push_back(RectIn(dialog, control));
  const SIZE buildText = program->IdealSize(program->Control(IDOK));

  const RECT suggested = {40, 30, 40 + scaled(client.right), 30 + scaled(client.bottom)};
  program->ChangeDpi(scaled(dpi), suggested);
  RECT window;
  GetWindowRect(dialog, &window);
  EXPECT_EQ(suggested.left, window.left);
  EXPECT_EQ(suggested.top, window.top);
  RECT newClient;
  GetClientRect(dialog, &newClient);
  EXPECT_NEAR(scaled(client.right), newClient.right, 1);
  EXPECT_NEAR(scaled(client.bottom), newClient.bottom, 1);
  const std::vector<HWND> controls = program->Controls();
  ASSERT_EQ(before.size(), controls.size());
  for (size_t i = 0; i < controls.size(); ++i) {
    const RECT now = RectIn(dialog, controls[i]);
    SCOPED_TRACE(i);
    EXPECT_NEAR(scaled(before[i].left), now.left, 1);
    EXPECT_NEAR(scaled(before[i].top), now.top, 1);
    EXPECT_NEAR(scaled(before[i].right), now.right, 1);
    EXPECT_NEAR(scaled(before[i].bottom), now.bottom, 1);
  }
  const SIZE newBuildText = program->IdealSize(program->Control(IDOK));
  EXPECT_GE(newBuildText.cy, buildText.cy * 4 / 3) << "the font stayed as it was";
  ExpectNothingClipped(*program);
  Close(*program);
}

// Started on a display at 144 DPI (ctest runs this in a Wine prefix of its
// own whose LogPixels says so), the dialog is laid out for it rather than
// stretched from 96 DPI, and no control is clipped.
TEST_F(MainDialogTest, At144DpiNoControlIsClipped) {
  ASSERT_EQ(144u, GetDpiForSystem())
      << "needs a display at 144 DPI: ctest's app_window_tests_144dpi";
  auto program = Start();
  EXPECT_EQ(144u, GetDpiForWindow(program->Window()));
  ExpectNothingClipped(*program);
  Close(*program);
}

// The focus starts on "Build", the default button, so Enter builds.
TEST_F(MainDialogTest, EnterRightAfterStartBuilds) {
  const std::string folder = EmptyFolder("a");
  auto program = Start();
  program->Type(IDC_SRCDIR1, folder);
  program->PressKey(VK_RETURN);
  EXPECT_TRUE(program->WaitForText(IDC_MESSAGES, [&](const std::string& text) {
    return text == FailedRun(folder);
  })) << program->Text(IDC_MESSAGES);
  Close(*program);
}

TEST_F(MainDialogTest, FieldsNamingNothingLeaveTheBoxUntouched) {
  auto program = Start();
  program->Type(IDC_SRCDIR2, Path("missing"));
  program->Type(IDC_SRCDIR4, "no such folder");
  program->Type(IDC_MESSAGES, "typed by hand");
  program->Click(IDOK);
  EXPECT_EQ("typed by hand", program->Text(IDC_MESSAGES));
  Close(*program);
}

// Each field that names something is built in field order; the others are
// passed over without a word.
TEST_F(MainDialogTest, BuildTakesTheFieldsInOrder) {
  const std::string a = EmptyFolder("a");
  const std::string b = EmptyFolder("b");
  auto program = Start();
  program->Type(IDC_SRCDIR1, b);
  program->Type(IDC_SRCDIR2, Path("missing"));
  program->Type(IDC_SRCDIR3, a);
  program->Type(IDC_SRCDIR5, b);
  program->Click(IDOK);
  EXPECT_EQ(FailedRun(b) + FailedRun(a) + FailedRun(b), program->Text(IDC_MESSAGES));
  Close(*program);
}

TEST_F(MainDialogTest, SecondBuildAppendsToTheLog) {
  const std::string a = EmptyFolder("a");
  auto program = Start();
  program->Type(IDC_SRCDIR1, a);
  program->Click(IDOK);
  EXPECT_EQ(FailedRun(a), program->Text(IDC_MESSAGES));
  program->Click(IDOK);
  EXPECT_EQ(FailedRun(a) + FailedRun(a), program->Text(IDC_MESSAGES));
  Close(*program);
}

TEST_F(MainDialogTest, TextTypedIntoTheBoxIsReplacedAtTheNextPublication) {
  const std::string a = EmptyFolder("a");
  auto program = Start();
  program->Type(IDC_SRCDIR1, a);
  program->Click(IDOK);
  program->Type(IDC_MESSAGES, "typed over the log");
  program->Click(IDOK);
  EXPECT_EQ(FailedRun(a) + FailedRun(a), program->Text(IDC_MESSAGES));
  Close(*program);
}

// Each publication asks the box to scroll a page down once the build is
// over, so a log longer than the box ends up scrolled.
TEST_F(MainDialogTest, PublishedLogScrollsTheBoxDown) {
  const std::string a = EmptyFolder("a");
  auto program = Start();
  for (int id : kFields) program->Type(id, a);
  program->Click(IDOK);
  EXPECT_TRUE(program->WaitForScroll(IDC_MESSAGES));
  Close(*program);
}

// The example theme, copied beside the program so that its package lands
// there: the package passes verify, and the dialog's log and the nvtheme
// command's are the same bytes.
TEST_F(MainDialogTest, TheExampleThemeBuilds) {
  const std::string ocean = Path("ocean");
  fs::copy("examples\\ocean", ocean);
  auto program = Start();
  program->Type(IDC_SRCDIR1, ocean);
  program->Click(IDOK);
  const std::string log = program->Text(IDC_MESSAGES);
  Close(*program);

  const std::string head =
      "\r\nProcessing " + ocean + " ...\r\nProcessing " + ocean + "\\main.xml ... succeeded.\r\n";
  EXPECT_EQ(head, log.substr(0, head.size()));
  const std::string closing = ocean +
                              ".nvp successfully created.\r\n"
                              "\r\nProcess completed successfully\r\n"
                              "\r\nPlease record down this operation log for future reference "
                              "(Optional).\r\n";
  ASSERT_GE(log.size(), closing.size());
  EXPECT_EQ(closing, log.substr(log.size() - closing.size()));

  const ConsoleRun verify = RunConsoleProgram(Nvtheme() + " verify \"" + ocean + ".nvp\"");
  EXPECT_EQ(0, verify.exitCode);
  EXPECT_EQ(ocean + ".nvp: OK, 10 files\n", verify.output);
  const ConsoleRun nvtheme = RunConsoleProgram(Nvtheme() + " build \"" + ocean + "\"");
  EXPECT_EQ(log, nvtheme.output);
}

}  // namespace
}  // namespace nv
