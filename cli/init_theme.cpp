// A new theme folder: one theme with a layout, a shelf and a catalog, the
// smallest that shows every element an author needs.
#include "cli/init_theme.h"

#include <tinyxml.h>

#include <utility>
#include <vector>

#include "cli/error_line.h"
#include "cli/png_image.h"

namespace nv {

namespace {

// The name as an attribute value, escaped as TinyXML escapes what it prints.
std::string AttributeText(const std::string& text) {
  std::string out;
  TiXmlBase::EncodeString(text, &out);
  return out;
}

std::string Manifest(const std::string& name) {
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
         "<!-- The theme's manifest: docs/MANIFEST.md tells every element. -->\n"
         "<nuvarinepackage>\n"
         "  <theme name=\"" +
         AttributeText(name) +
         "\" screenshot=\"screenshot.png\">\n"
         "    <templates>\n"
         "      <detail mode=\"grid\" file=\"layout-grid.xml\"/>\n"
         "    </templates>\n"
         "    <virtualshelf background=\"shelf.png\" uwidth=\"120\" uheight=\"160\" "
         "uhspace=\"12\" uvspace=\"16\">\n"
         "      <catalog name=\"Books\" image=\"catalog.png\" olx=\"10\" oly=\"8\" "
         "olwidth=\"100\" olheight=\"24\"/>\n"
         "    </virtualshelf>\n"
         "  </theme>\n"
         "</nuvarinepackage>\n";
}

const char kLayout[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<!-- The grid view's layout: describe it here. -->\n"
    "<layout mode=\"grid\"/>\n";

// The folder may be new or empty; anything in it is the author's.
bool PrepareFolder(FileSystem& fs, const std::string& folder, std::string* why) {
  std::string err;
  if (!fs.PathExists(folder, &err)) return fs.CreateFolder(folder, why);
  std::vector<std::string> names;
  if (fs.ListFolder(folder, &names, why) != ListResult::kComplete) return false;
  for (const std::string& name : names) {
    if (name == "." || name == "..") continue;
    *why = "it is not empty: init writes only into a new or empty folder";
    return false;
  }
  return true;
}

bool WriteNew(FileSystem& fs, const std::string& path, const std::string& bytes, std::string* why) {
  std::unique_ptr<File> file = fs.CreateNew(path, why);
  return file && file->Write(bytes.data(), bytes.size(), why) && file->Close(why);
}

}  // namespace

bool InitTheme(FileSystem& fs, const std::string& folder, const std::string& name,
               std::ostream& err) {
  std::string why;
  if (name.size() < 2) {
    WriteErrorLine(err, "'" + name + "': a theme's name needs 2 bytes at least");
    return false;
  }
  if (!PrepareFolder(fs, folder, &why)) {
    WriteErrorLine(err, folder + ": " + why);
    return false;
  }
  const std::vector<std::pair<std::string, std::string>> files = {
      {"main.xml", Manifest(name)},
      {"layout-grid.xml", kLayout},
      {"screenshot.png", SolidPng(64, 48, 0x2E6F9E)},
      {"shelf.png", SolidPng(32, 32, 0xE8D8B0)},
      {"catalog.png", SolidPng(100, 24, 0x8C5A2B)},
  };
  for (const auto& [file, bytes] : files) {
    if (WriteNew(fs, JoinPath(folder, file), bytes, &why)) continue;
    WriteErrorLine(err, JoinPath(folder, file) + ": " + why);
    return false;
  }
  const std::string shown = EscapeText(folder, Backslash::kSingle);
  err << "A new theme is in " << shown << ". Next:\n"
      << "  edit " << EscapeText(JoinPath(folder, "main.xml"), Backslash::kSingle)
      << " (the manifest reference, docs/MANIFEST.md, tells every element),\n"
      << "  replace the images and the layout with your own,\n"
      << "  nvtheme check " << shown << "   then   nvtheme build " << shown << "\n";
  return true;
}

}  // namespace nv
