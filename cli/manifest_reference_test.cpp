// The reference's tables of errors and warnings, docs/MANIFEST.md, held to
// what check prints: each row's cause, made in the example theme, prints the
// row's message with the row's severity, and the row's fix takes it away.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "manifest/manifest.h"
#include "testing/command_fixture.h"
#include "testing/memory_file_system.h"

namespace nv {
namespace {

using Op = MemoryFileSystem::Op;
using Edit = std::function<void(MemoryFileSystem&)>;
using Edits = std::vector<Edit>;

// As the reference names it, so that its notes' paths read as the rows'.
const std::string kFolder = JoinPath("themes", "ocean");

std::string In(const std::string& name) { return JoinPath(kFolder, name); }

// main.xml with the first `from` written as `to`.
Edit Swap(const std::string& from, const std::string& to) {
  return [=](MemoryFileSystem& fs) {
    std::string text = fs.Contents(In("main.xml"));
    Replace(&text, from, to);
    fs.AddFile(In("main.xml"), text);
  };
}

Edit Put(const std::string& name, const std::string& bytes) {
  return [=](MemoryFileSystem& fs) { fs.AddFile(In(name), bytes); };
}

// A copy of a file, as a new file: a link there is gone.
Edit Copy(const std::string& from, const std::string& to) {
  return [=](MemoryFileSystem& fs) { fs.AddFile(In(to), fs.Contents(In(from))); };
}

Edit Drop(const std::string& name) {
  return [=](MemoryFileSystem& fs) {
    std::string err;
    ASSERT_TRUE(fs.RemoveFile(In(name), &err)) << name << ": " << err;
  };
}

Edit Folder(const std::string& name) {
  return [=](MemoryFileSystem& fs) { fs.AddFolder(In(name)); };
}

Edit Link(const std::string& name, const std::string& target) {
  return [=](MemoryFileSystem& fs) { fs.SetLinkTarget(In(name), target); };
}

Edit Grow(const std::string& name, uint64_t size) {
  return [=](MemoryFileSystem& fs) { fs.SetApparentSize(In(name), size); };
}

// The disk refuses `op` on the file (the folder, for ""), in its own words.
Edit Refuse(Op op, const std::string& name, const std::string& reason) {
  const std::string path = name.empty() ? kFolder : In(name);
  return [=](MemoryFileSystem& fs) {
    fs.before = [=](Op asked, const std::string& at) { return asked != op || at != path; };
    fs.faultText = reason;
  };
}

Edit Allow() {
  return [](MemoryFileSystem& fs) { fs.before = nullptr; };
}

std::string Nested(int levels) {
  std::string xml;
  for (int i = 0; i < levels; ++i) xml = "<a>" + xml + "</a>";
  return xml;
}

std::string Attributes(int count) {
  std::string xml;
  for (int i = 0; i < count; ++i) xml += " a" + std::to_string(i) + "=\"1\"";
  return xml;
}

// A row's cause made in the example theme, and its fix made after it.
struct Case {
  std::string row;  // its message (errors) or name (warnings), as the row gives it
  Edits cause;
  Edits fix;
  std::string x = "";  // what the row's 'X' stands for
};

const std::string kListDetail = "      <detail mode=\"list\" file=\"layout-list.xml\"/>\n";
const std::string kDuskTheme = "<theme name=\"Ocean Dusk\" screenshot=\"shot-night.png\"/>";

const Case kErrorCases[] = {
    {"Attributes 'name or screenshot' not found in 'theme' node.",
     {Swap(" name=\"Ocean Day\"", "")},
     {Swap("<theme screenshot", "<theme name=\"Ocean Day\" screenshot")}},
    {"Attributes 'name, screenshot' invalid.",
     {Swap("\"Ocean Day\"", "\"O\"")},
     {Swap("\"O\"", "\"Ocean Dawn\"")}},
    {"The file: 'X' in attribute 'screenshot' doesn't exist or can't be read.",
     {Swap("\"shot-day.png\"", "\"shot-dawn.png\"")},
     {Copy("shot-day.png", "shot-dawn.png")},
     "shot-dawn.png"},
    {"No child nodes found in 'theme' node.",
     {Swap("</nuvarinepackage>", kDuskTheme + "</nuvarinepackage>")},
     {Swap("shot-night.png\"/>",
           "shot-night.png\"><templates><detail mode=\"grid\" file=\"layout-grid.xml\"/>"
           "</templates><virtualshelf background=\"shelf-deep.png\" uwidth=\"1\" uheight=\"1\" "
           "uhspace=\"1\" uvspace=\"1\"/></theme>")}},
    {"Attributes 'mode' not found in 'detail' node.",
     {Swap("mode=\"list\" ", "")},
     {Swap("<detail file", "<detail mode=\"list\" file")}},
    {"The file: 'X' in attribute 'file' doesn't exist or can't be read.",
     {Drop("layout-list.xml")},
     {Copy("layout-grid.xml", "layout-list.xml")},
     "layout-list.xml"},
    {"Attributes 'background' not found in 'virtualshelf' node.",
     {Swap("background=\"shelf-deep.png\" ", "")},
     {Swap("<virtualshelf uwidth", "<virtualshelf background=\"shelf-deep.png\" uwidth")}},
    {"The file: 'X' in attribute 'background' doesn't exist or can't be read.",
     {Drop("shelf-deep.png")},
     {Copy("shelf-sand.png", "shelf-deep.png")},
     "shelf-deep.png"},
    {"Attributes 'uwidth' invalid.",
     {Swap("uwidth=\"120\"", "uwidth=\"wide\"")},
     {Swap("\"wide\"", "\"120\"")}},
    {"Attributes 'name' not found in 'catalog' node.",
     {Swap("name=\"Music\" ", "")},
     {Swap("<catalog image", "<catalog name=\"Music\" image")}},
    {"The file: 'X' in attribute 'image' doesn't exist or can't be read.",
     {Drop("cat-music.png")},
     {Copy("cat-novels.png", "cat-music.png")},
     "cat-music.png"},
    // Ocean Night's only layout gone; Ocean Day keeps its second.
    {"Theme is invalid.", {Drop("layout-grid.xml")}, {Copy("layout-list.xml", "layout-grid.xml")}},
    {"no root element \"nuvarinepackage\".",
     {Copy("main.xml", "Main.xml"), Drop("main.xml")},
     {Copy("Main.xml", "main.xml"), Drop("Main.xml")}},
    {"main.xml nests elements more than 256 levels deep.",
     {Swap("<templates>", "<templates>" + Nested(257))},
     {Swap(Nested(257), "")}},
    {"main.xml gives an element more than 256 attributes.",
     {Swap("<templates>", "<templates" + Attributes(257) + ">")},
     {Swap(Attributes(257), "")}},
    // The right main.xml again, as a new file of its own size.
    {"main.xml is larger than 256 MiB.",
     {Grow("main.xml", kMaxManifestBytes + 1)},
     {Copy("main.xml", "main.xml")}},
};

const Case kWarningCases[] = {
    {"unpacked-reference",
     {Folder("img"), Copy("shot-day.png", "img/shot.png"), Drop("shot-day.png"),
      Swap("\"shot-day.png\"", "\"img/shot.png\"")},
     {Copy("img/shot.png", "shot.png"), Drop("img/shot.png"),
      Swap("\"img/shot.png\"", "\"shot.png\"")}},
    // Where letter case counts, the rules' error tells it instead.
    {"case-mismatch",
     {Copy("shot-day.png", "shot.png"), Drop("shot-day.png"),
      Swap("\"shot-day.png\"", "\"Shot.png\""), [](MemoryFileSystem& fs) { fs.foldsCase = true; }},
     {Swap("\"Shot.png\"", "\"shot.png\"")}},
    {"unknown-element",
     {Swap("</templates>", "</templates><templatess/>")},
     {Swap("<templatess/>", "<templates/>")}},
    {"unknown-attribute", {Swap("background=", "backgroud=")}, {Swap("backgroud=", "background=")}},
    {"misplaced-element",
     {Swap(kListDetail + "    </templates>\n", "    </templates>\n" + kListDetail)},
     {Swap("    </templates>\n" + kListDetail, kListDetail + "    </templates>\n")}},
    {"stray-text",
     {Swap("screenshot=\"shot-day.png\">", "screenshot=\"shot-day.png\">Ocean")},
     {Swap("\">Ocean", "\">")}},
    {"foreign-namespace",
     {Swap("<nuvarinepackage>", "<nuvarinepackage xmlns=\"urn:x\">")},
     {Swap(" xmlns=\"urn:x\"", "")}},
    {"loose-integer",
     {Swap("olwidth=\"100\"", "olwidth=\"100px\"")},
     {Swap("\"100px\"", "\"100\"")}},
    {"lost-content", {Swap("</theme>", "</thme>")}, {Swap("</thme>", "</theme>")}},
    {"malformed-xml",
     {Swap("olheight=\"24\"/>\n    </virtualshelf>\n  </theme>\n</nuv",
           "olheight=\"24\">\n    </virtualshelf>\n  </theme>\n</nuv")},
     {Swap("\"24\">", "\"24\"/>")}},
    {"not-a-layout", {Put("layout-list.xml", "<layout>")}, {Put("layout-list.xml", "<layout/>")}},
    {"not-an-image", {Put("shelf-sand.png", "sand")}, {Copy("shelf-deep.png", "shelf-sand.png")}},
    {"broken-image",
     {Put("shelf-sand.png", std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR\0\0\0 ", 20))},
     {Copy("shelf-deep.png", "shelf-sand.png")}},
    {"duplicate-theme-name",
     {Swap("\"Ocean Day\"", "\"Day\""), Swap("\"Ocean Night\"", "\"Day\"")},
     {Swap("\"Day\"", "\"Dawn\"")}},
    {"stray-file", {Put("Thumbs.db", "")}, {Drop("Thumbs.db")}},
    {"unportable-name",
     {Copy("cat-music.png", "aux.png")},
     {Copy("aux.png", "auxiliary.png"), Drop("aux.png")}},
    {"unreadable-file",
     {Refuse(Op::IsReadableFile, "shot-day.png", "open: Permission denied")},
     {Allow()}},
    {"unlistable-folder", {Refuse(Op::ListFolder, "", "Permission denied")}, {Allow()}},
    {"outside-link",
     {Link("shot-day.png", "/home/me/shot-day.png")},
     {Copy("shot-day.png", "shot-day.png")}},
    {"unused-file", {Copy("shot-day.png", "old.png")}, {Drop("old.png")}},
};

// A row of one of the reference's tables: the first text in backquotes of
// its first cell (the message, or the warning's name) and of its second (the
// warning's example message), and how it is told.
struct Row {
  std::string key;
  std::string message;
  std::string kind;  // "error", "warning", or "note": a line of nvtheme's own
  bool offByDefault = false;
};

std::string Quoted(const std::string& cell) {
  const size_t start = cell.find('`');
  const size_t end = cell.find('`', start + 1);
  return start == std::string::npos ? "" : cell.substr(start + 1, end - start - 1);
}

// The rows under the heading `### TITLE`; for the warnings, the row's first
// cell says when one is an error or a note.
std::vector<Row> Rows(const std::string& title, bool warnings) {
  std::ifstream page(JoinPath(NV_DOCS_DIR, "MANIFEST.md"), std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(page), {}};
  const size_t start = text.find("\n### " + title + "\n");
  if (start == std::string::npos) return {};
  std::istringstream section(text.substr(start, text.find("\n#", start + 1) - start));
  std::vector<Row> rows;
  for (std::string line; std::getline(section, line);) {
    if (line.compare(0, 3, "| `") != 0) continue;
    const size_t split = line.find(" | ", 2);
    const std::string first = line.substr(2, split - 2);
    Row row{Quoted(first), warnings ? Quoted(line.substr(split + 3)) : Quoted(first), "error"};
    if (warnings) {
      const bool error = first.find("(an error") != std::string::npos;
      row.kind = error ? "error" : first.find("(a note") != std::string::npos ? "note" : "warning";
      row.offByDefault = first.find("(off by default)") != std::string::npos;
    }
    rows.push_back(row);
  }
  return rows;
}

struct Checked {
  int status;
  std::string out;
  std::string err;
};

// check --format=gnu of the example theme, as `themes/ocean`, after `edits`.
Checked CheckAfter(MemoryFileSystem& fs, const Edits& edits, const std::vector<std::string>& args) {
  for (const Edit& edit : edits) edit(fs);
  std::ostringstream out, err;
  std::vector<std::string> line = {"check", "--format=gnu"};
  line.insert(line.end(), args.begin(), args.end());
  line.push_back(kFolder);
  const int status = RunNvtheme(line, fs, out, err);
  std::string errors = err.str();  // its paths as the reference writes them
  std::replace(errors.begin(), errors.end(), kPathSeparator, '/');
  return {status, out.str(), errors};
}

void LoadExample(MemoryFileSystem* fs) {
  fs->AddFolder("themes");
  fs->AddFolder(kFolder);
  for (const auto& entry : fsys::directory_iterator(fsys::path(NV_EXAMPLES_DIR) / "ocean")) {
    std::ifstream in(entry.path(), std::ios::binary);
    fs->AddFile(In(entry.path().filename().string()), {std::istreambuf_iterator<char>(in), {}});
  }
}

bool HasLineEnding(const std::string& text, const std::string& end) {
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);)
    if (line.size() >= end.size() && line.compare(line.size() - end.size(), end.size(), end) == 0)
      return true;
  return false;
}

// The row's message, as its cause makes check print it, at its severity;
// its fix leaves a theme that checks clean.
void CheckRow(const Row& row, const Case& c) {
  SCOPED_TRACE("the row `" + row.key + "`");
  std::string message = row.message;
  const size_t x = message.find("'X'");
  if (x != std::string::npos) message.replace(x, 3, "'" + c.x + "'");
  const bool named = row.key != row.message;  // a warning's row
  const std::string line =
      row.kind == "note" ? "nvtheme: " + message
                         : ": " + row.kind + ": " + message + (named ? " [-W" + row.key + "]" : "");
  std::vector<std::string> args;
  if (row.offByDefault) args.push_back("-W" + row.key);
  MemoryFileSystem fs;
  LoadExample(&fs);
  const Checked caused = CheckAfter(fs, c.cause, args);
  EXPECT_TRUE(HasLineEnding(row.kind == "note" ? caused.err : caused.out, line))
      << "no line ending '" << line << "'; check printed:\n"
      << caused.out << caused.err;
  if (row.kind == "error") {
    EXPECT_EQ(1, caused.status);
  }
  const Checked fixed = CheckAfter(fs, c.fix, args);
  EXPECT_EQ(0, fixed.status);
  EXPECT_EQ("", fixed.out + fixed.err) << "after the fix";
}

// Each row has its case and each case its row, so that the reference and
// what check does cannot part.
template <size_t N>
void CheckTable(const std::string& title, const Case (&cases)[N]) {
  const std::vector<Row> rows = Rows(title, title.rfind("Warnings", 0) == 0);
  ASSERT_FALSE(rows.empty()) << "docs/MANIFEST.md has no table under '### " << title << "'";
  for (const Row& row : rows) {
    const auto c = std::find_if(cases, cases + N, [&](const Case& c) { return c.row == row.key; });
    if (c == cases + N)
      ADD_FAILURE() << "docs/MANIFEST.md, '" << title << "': the row `" << row.key
                    << "` has no case in cli/manifest_reference_test.cpp: add one that makes its "
                       "cause in the example theme and applies its fix";
    else
      CheckRow(row, *c);
  }
  for (const Case& c : cases)
    if (std::none_of(rows.begin(), rows.end(), [&](const Row& row) { return row.key == c.row; }))
      ADD_FAILURE() << "the case `" << c.row << "` has no row in docs/MANIFEST.md, '" << title
                    << "': drop the case, or give the row back";
}

TEST(ManifestReferenceTest, EachErrorRowIsWhatCheckPrints) {
  CheckTable("Errors: the rules", kErrorCases);
}

TEST(ManifestReferenceTest, EachWarningRowIsWhatCheckPrints) {
  CheckTable("Warnings: mistakes the rules let through", kWarningCases);
}

}  // namespace
}  // namespace nv
