// A new theme folder: one theme with a layout, a shelf and a catalog, the
// smallest that shows every element an author needs.
#include "cli/init_theme.h"

#include <tinyxml.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "cli/error_line.h"
#include "cli/png_image.h"
#include "manifest/strict_xml.h"
#include "platform/interrupt.h"

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

// Below 0x20 XML allows only tab, LF and CR, even written as a reference.
bool HasControlByte(const std::string& name) {
  return std::any_of(name.begin(), name.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r';
  });
}

// The name with each byte above 0x7F as \xHH: of text that is not UTF-8, a
// terminal would show those bytes as something else or not at all.
std::string HighBytesEscaped(const std::string& name) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string shown;
  for (const char c : name) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      shown += c;
    } else {
      shown += {'\\', 'x', kHex[byte >> 4], kHex[byte & 0xF]};
    }
  }
  return shown;
}

// A name must stand in main.xml as it is given. Past control bytes, it
// must be UTF-8, as the manifest says it is, of characters XML allows:
// expat, the strict reader the check holds the manifest to, tells.
bool CheckName(const std::string& name, std::ostream& err) {
  std::string shown = name, fault;
  XmlFault xml;
  if (name.size() < 2) {
    fault = "a theme's name needs 2 bytes at least";
  } else if (HasControlByte(name)) {
    fault = "a theme's name may hold no control byte but tab, LF and CR";
  } else if (!IsWellFormedXml(Manifest(name), &xml)) {
    fault = "a theme's name needs to be UTF-8, of characters XML allows";
    shown = HighBytesEscaped(name);
  } else {
    return true;
  }
  WriteErrorLine(err, "'" + shown + "': " + fault);
  return false;
}

// What init made, to be removed when it cannot finish: a folder left
// half-made would be refused by the next init as not empty.
struct Made {
  std::vector<std::string> folders;  // the outermost first
  std::vector<std::string> files;
};

// The folder and those it lies in that are missing, the outermost first, as
// `mkdir -p` makes them.
bool MakeFolders(FileSystem& fs, const std::string& folder, Made* made, std::string* why) {
  std::vector<std::string> missing;
  std::string absent;
  for (std::string at = folder; !at.empty() && !fs.PathExists(at, &absent); at = ParentOf(at))
    missing.push_back(at);
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    if (!fs.CreateFolder(*it, why)) return false;
    made->folders.push_back(*it);
  }
  return true;
}

// The folder may be new or empty; anything in it is the author's.
bool PrepareFolder(FileSystem& fs, const std::string& folder, Made* made, std::string* why) {
  std::string err;
  if (!fs.PathExists(folder, &err)) return MakeFolders(fs, folder, made, why);
  std::vector<std::string> names;
  if (fs.ListFolder(folder, &names, why) != ListResult::kComplete) return false;
  for (const std::string& name : names) {
    if (name == "." || name == "..") continue;
    *why = "it is not empty: init writes only into a new or empty folder";
    return false;
  }
  return true;
}

bool WriteNew(FileSystem& fs, const std::string& path, const std::string& bytes, Made* made,
              std::string* why) {
  std::unique_ptr<File> file = fs.CreateNew(path, why);
  if (!file) return false;
  made->files.push_back(path);
  return file->Write(bytes.data(), bytes.size(), why) && file->Close(why);
}

using NamedFiles = std::vector<std::pair<std::string, std::string>>;

// False with the path that failed on `where`.
bool MakeTheme(FileSystem& fs, const std::string& folder, const NamedFiles& files, Made* made,
               std::string* where, std::string* why) {
  *where = folder;
  if (!PrepareFolder(fs, folder, made, why)) return false;
  // Room to note every file made, so that none is made and then not noted.
  made->files.reserve(files.size());
  for (const auto& [file, bytes] : files) {
    *where = JoinPath(folder, file);
    if (InterruptRequested()) return false;
    if (!WriteNew(fs, *where, bytes, made, why)) return false;
  }
  return true;
}

// The innermost folder first. What cannot be removed is named as left
// behind, and keeps the folders that hold it.
void Undo(FileSystem& fs, const Made& made, std::ostream& err) {
  std::string why;
  for (const std::string& path : made.files)
    if (!fs.RemoveFile(path, &why)) WriteErrorLine(err, path + ": left behind: " + why);
  for (auto it = made.folders.rbegin(); it != made.folders.rend(); ++it) {
    if (fs.RemoveFolder(*it, &why)) continue;
    WriteErrorLine(err, *it + ": left behind: " + why);
    return;
  }
}

void TellNext(const std::string& folder, std::ostream& err) {
  const std::string shown = EscapeText(folder, Backslash::kSingle);
  err << "A new theme is in " << shown << ". Next:\n"
      << "  edit " << EscapeText(JoinPath(folder, "main.xml"), Backslash::kSingle)
      << " (the manifest reference, docs/MANIFEST.md, tells every element),\n"
      << "  replace the images and the layout with your own,\n"
      << "  nvtheme check " << shown << "   then   nvtheme build " << shown << "\n";
}

}  // namespace

bool InitTheme(FileSystem& fs, const std::string& folder, const std::string& name,
               std::ostream& err) {
  if (!CheckName(name, err)) return false;
  const NamedFiles files = {
      {"main.xml", Manifest(name)},
      {"layout-grid.xml", kLayout},
      {"screenshot.png", SolidPng(64, 48, 0x2E6F9E)},
      {"shelf.png", SolidPng(32, 32, 0xE8D8B0)},
      {"catalog.png", SolidPng(100, 24, 0x8C5A2B)},
  };
  Made made;
  std::string where, why;
  // An interruption is a failure like the others, undone; the caller tells of it.
  const InterruptsDeferred deferred;
  bool done = false;
  try {
    done = MakeTheme(fs, folder, files, &made, &where, &why);
  } catch (...) {
    Undo(fs, made, err);
    throw;
  }
  if (!done) {
    if (!InterruptRequested()) WriteErrorLine(err, where + ": " + why);
    Undo(fs, made, err);
    return false;
  }
  TellNext(folder, err);
  return true;
}

}  // namespace nv
