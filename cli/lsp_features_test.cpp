// The language server's answers about a place in a manifest, asked at a
// cursor ("|" in the cases) of a theme folder held in memory: completion,
// hover, definition, the outline and the "did you mean" fixes.
#include "cli/lsp_features.h"

#include <gtest/gtest.h>

#include "cli/folder_report.h"
#include "testing/memory_file_system.h"
#include "testing/sample_images.h"

namespace nv {
namespace {

using json = nlohmann::json;

const std::string kFolder = "ocean";
const std::string kShot = SamplePng(320, 200);

// A theme folder: images, layouts, a file in a subfolder and one another
// program holds, neither of which the package would hold.
class LspFeaturesTest : public ::testing::Test {
 protected:
  LspFeaturesTest() {
    fs.AddFolder(kFolder);
    fs.AddFolder(JoinPath(kFolder, "img"));
    Add("shot.png", kShot);
    Add("sand.png", SamplePng(4, 4));
    Add("broken.png", SamplePng(4, 4).substr(0, 20));
    Add("grid.xml", "<layout mode=\"grid\"/>\n");
    Add("it's.png", SamplePng(2, 2));
    Add(JoinPath("img", "deep.png"), SamplePng(2, 2));
    Add("held.png", SamplePng(2, 2));
    fs.Hold(JoinPath(kFolder, "held.png"));
  }

  void Add(const std::string& name, const std::string& bytes) {
    fs.AddFile(JoinPath(kFolder, name), bytes);
  }

  // Asks `ask` of the manifest `marked`, at its "|".
  json At(const std::string& marked, json (*ask)(const OpenDocument&, LspPosition),
          PositionEncoding encoding = PositionEncoding::kUtf16) {
    const size_t at = marked.find('|');
    m_text = marked.substr(0, at) + marked.substr(at + 1);
    const LspText text(m_text);
    return ask(Document(text, encoding), text.PositionOf(at, encoding));
  }

  OpenDocument Document(const LspText& text, PositionEncoding encoding) {
    return {
        text, encoding, fs, kFolder, JoinPath(kFolder, "main.xml"), [](const std::string& path) {
          return "file:///" + path;
        }};
  }

  MemoryFileSystem fs;

 private:
  std::string m_text;
};

json Range(size_t line, size_t from, size_t to) {
  return {{"start", {{"line", line}, {"character", from}}},
          {"end", {{"line", line}, {"character", to}}}};
}

std::string Labels(const json& list) {
  std::string labels;
  if (list.is_null()) return labels;
  for (const json& item : list["items"])
    labels += (labels.empty() ? "" : ",") + item["label"].get<std::string>();
  return labels;
}

TEST_F(LspFeaturesTest, CompletionOffersWhatMayStandThere) {
  const std::string files = "broken.png,grid.xml,it's.png,sand.png,shot.png";
  const std::pair<std::string, std::string> cases[] = {
      {"<|", "nuvarinepackage"},
      {"<nuvarinepackage>\n  <|", "theme"},
      {"<?xml version=\"1.0\"?>\n<!-- x -->\n<nuv|", "nuvarinepackage"},
      {"<nuvarinepackage/>\n<|", ""},
      {"|\n<nuvarinepackage/>", ""},
      {"<nuvarinepackage><theme name=\"a\">\n    <v|", "templates,virtualshelf"},
      {"<nuvarinepackage><theme>\n  |\n</theme></nuvarinepackage>", "templates,virtualshelf"},
      {"<nuvarinepackage><theme><templates><|", "detail"},
      {"<nuvarinepackage><theme><templates><detail/></templates><|", "templates,virtualshelf"},
      {"<nuvarinepackage><Theme><|", ""},
      {"<nuvarinepackage><theme></|", "theme"},
      {"<theme |", "name,screenshot"},
      {"<theme screenshot=\"a\" |", "name"},
      {"<theme nam|e=\"x\" screenshot=\"a\">", "name"},
      {"<virtualshelf background=\"x\" u|", "uwidth,uheight,uhspace,uvspace"},
      {"<catalog |/>", "name,image,olx,oly,olwidth,olheight"},
      {"<thme |", ""},
      // Open text, and a number, are no closed sets.
      {"<detail mode=\"|\"", ""},
      {"<catalog olx=\"|\"", ""},
      {"<detail file=\"|\"", files},
      {"<theme screenshot='sh|", files},
      {"<virtualshelf background=|", files},
      {"<!-- <theme | -->", ""},
      {"<theme name=\"x\"|>", ""},
  };
  for (const auto& [marked, labels] : cases)
    EXPECT_EQ(labels, Labels(At(marked, Completion))) << marked;
}

// An item replaces the word typed, and writes a value as its quotes need.
TEST_F(LspFeaturesTest, CompletionItemsReplaceTheWordTyped) {
  const json element = At("<nuvarinepackage>\n  <th|", Completion)["items"][0];
  EXPECT_EQ(7, element["kind"]);
  EXPECT_EQ((json{{"range", Range(1, 3, 5)}, {"newText", "theme"}}), element["textEdit"]);
  const json between = At("<nuvarinepackage>\n  th|", Completion)["items"][0];
  EXPECT_EQ((json{{"range", Range(1, 2, 4)}, {"newText", "<theme"}}), between["textEdit"]);
  const json attribute = At("<theme name=\"a\" sc|>", Completion)["items"][0];
  EXPECT_EQ(10, attribute["kind"]);
  EXPECT_EQ((json{{"range", Range(0, 16, 18)}, {"newText", "screenshot"}}), attribute["textEdit"]);
  const json quoted = At("<theme screenshot='i|'>", Completion)["items"][2];
  EXPECT_EQ(17, quoted["kind"]);
  EXPECT_EQ((json{{"range", Range(0, 19, 20)}, {"newText", "it&apos;s.png"}}), quoted["textEdit"]);
  const json bare = At("<theme screenshot=s|>", Completion)["items"][4];
  EXPECT_EQ((json{{"range", Range(0, 18, 19)}, {"newText", "\"shot.png\""}}), bare["textEdit"]);
  const json closing = At("<theme>\n</t|", Completion)["items"][0];
  EXPECT_EQ((json{{"range", Range(1, 2, 3)}, {"newText", "theme>"}}), closing["textEdit"]);
}

std::string HoverText(const json& hover) {
  return hover.is_null() ? "" : hover["contents"]["value"].get<std::string>();
}

TEST_F(LspFeaturesTest, HoverTellsTheReferenceAndTheFile) {
  const std::string png =
      "`shot.png`: " + FormatSize(kShot.size()) + ", a PNG image of 320 \xC3\x97 200 pixels";
  const std::pair<std::string, std::string> cases[] = {
      {"<th|eme name=\"a\">",
       "**`theme`**: one per theme; any number\n\nRead directly in 'nuvarinepackage'.\n\n"
       "Attributes: `name`, `screenshot`"},
      {"<theme></th|eme>",
       "**`theme`**: one per theme; any number\n\nRead directly in 'nuvarinepackage'.\n\n"
       "Attributes: `name`, `screenshot`"},
      {"<templates|>",
       "**`templates`**: any number\n\nRead directly in a 'theme'. It has no attributes."},
      {"<catalog olw|idth=\"1\"/>",
       "**`olwidth`** of `catalog`, required\n\n- **Value:** an integer\n- **Checked:** read as "
       "an integer\n- **When it is wrong:** the theme fails"},
      {"<theme screenshot=\"sh|ot.png\"/>", png},
      {"<detail file=\"grid.x|ml\"/>", "`grid.xml`: 22 bytes"},
      {"<theme screenshot=\"none|.png\"/>", "`none.png` is not in the folder"},
      {"<theme screenshot=\"held|.png\"/>", "`held.png` is not in the folder"},
      {"<detail mode=\"gr|id\"/>", ""},
      {"<themes na|me=\"a\">", ""},
      {"<theme colou|r=\"a\">", ""},
      {"<!-- <th|eme> -->", ""},
  };
  for (const auto& [marked, text] : cases) EXPECT_EQ(text, HoverText(At(marked, Hover))) << marked;
  const json hover = At("<virtualshelf background=\"broken.png|\"/>", Hover);
  EXPECT_EQ(0u, HoverText(hover).rfind("`broken.png`: 20 bytes, a broken PNG image: ", 0))
      << hover.dump();
  EXPECT_EQ("markdown", hover["contents"]["kind"]);
  EXPECT_EQ(Range(0, 26, 36), hover["range"]);
}

TEST_F(LspFeaturesTest, DefinitionLeadsToTheFileNamed) {
  const json start = {{"line", 0}, {"character", 0}};
  const json shot = {{"uri", "file:///" + JoinPath(kFolder, "shot.png")},
                     {"range", {{"start", start}, {"end", start}}}};
  EXPECT_EQ(shot, At("<theme screenshot=\"sh|ot.png\">", Definition));
  EXPECT_EQ(shot, At("<theme screenshot='shot.png|'>", Definition));
  EXPECT_TRUE(At("<theme screenshot=\"none|.png\">", Definition).is_null());
  EXPECT_TRUE(At("<theme screenshot=\"|\">", Definition).is_null());
  EXPECT_TRUE(At("<theme name=\"shot|.png\">", Definition).is_null());
  EXPECT_TRUE(At("<theme scr|eenshot=\"shot.png\">", Definition).is_null());
}

// Each theme with what the rules read of it; a theme cut short is read as
// far as it goes, and a name before an element counts in the encoding's
// units.
TEST_F(LspFeaturesTest, SymbolsOutlineTheThemes) {
  const std::string text =
      "<nuvarinepackage>\n"
      "<theme name=\"Caf\xC3\xA9\" screenshot=\"shot.png\"><templates>\n"
      "<detail mode=\"grid\" file=\"grid.xml\"/><detail/></templates>\n"
      "<virtualshelf><catalog name=\"\" image=\"n.png\"/><junk/></virtualshelf>\n"
      "</theme>\n"
      "<theme screenshot=\"x.png\"><templatess/>";
  const json theme1 = {
      {"name", "Caf\xC3\xA9"},
      {"kind", 5},
      {"detail", "shot.png"},
      {"range",
       {{"start", {{"line", 1}, {"character", 0}}}, {"end", {{"line", 4}, {"character", 8}}}}},
      {"selectionRange", Range(1, 1, 6)}};
  json templates = {
      {"name", "templates"},
      {"kind", 3},
      {"range",
       {{"start", {{"line", 1}, {"character", 41}}}, {"end", {{"line", 2}, {"character", 58}}}}},
      {"selectionRange", Range(1, 42, 51)},
      {"children",
       {{{"name", "grid"},
         {"kind", 1},
         {"detail", "grid.xml"},
         {"range", Range(2, 0, 37)},
         {"selectionRange", Range(2, 1, 7)}},
        {{"name", "detail"},
         {"kind", 1},
         {"range", Range(2, 37, 46)},
         {"selectionRange", Range(2, 38, 44)}}}}};
  const json shelf = {{"name", "virtualshelf"},
                      {"kind", 23},
                      {"range", Range(3, 0, 68)},
                      {"selectionRange", Range(3, 1, 13)},
                      {"children",
                       {{{"name", "catalog"},
                         {"kind", 8},
                         {"detail", "n.png"},
                         {"range", Range(3, 14, 46)},
                         {"selectionRange", Range(3, 15, 22)}}}}};
  json want = json::array(
      {theme1,
       {{"name", "theme"},
        {"kind", 5},
        {"detail", "x.png"},
        {"range",
         {{"start", {{"line", 5}, {"character", 0}}}, {"end", {{"line", 5}, {"character", 39}}}}},
        {"selectionRange", Range(5, 1, 6)}}});
  want[0]["children"] = {templates, shelf};
  const LspText lsp(text);
  EXPECT_EQ(want, DocumentSymbols(Document(lsp, PositionEncoding::kUtf16)));
  // In UTF-8 the 'é' takes two units.
  want[0]["children"][0]["range"]["start"]["character"] = 42;
  want[0]["children"][0]["selectionRange"] = Range(1, 43, 52);
  EXPECT_EQ(want, DocumentSymbols(Document(lsp, PositionEncoding::kUtf8)));
}

// A diagnostic as the server publishes one with a fix.
json Diagnostic(size_t line, size_t character, const std::string& written,
                const std::string& meant) {
  return {{"range", Range(line, character, character)},
          {"message", "m"},
          {"data", {{"written", written}, {"meant", meant}}}};
}

// "LINE:FROM-TO=NEW" of each edit of each action.
std::string Edits(const json& actions) {
  std::string edits;
  for (const json& action : actions)
    for (const json& edit : action["edit"]["changes"]["file:///" + JoinPath(kFolder, "main.xml")]) {
      const json& range = edit["range"];
      edits += (edits.empty() ? "" : " ") + range["start"]["line"].dump() + ":" +
               range["start"]["character"].dump() + "-" + range["end"]["character"].dump() + "=" +
               edit["newText"].get<std::string>();
    }
  return edits;
}

TEST_F(LspFeaturesTest, CodeActionsApplyTheFixes) {
  struct Case {
    std::string text;
    json diagnostic;
    std::string edits;
  };
  const Case cases[] = {
      {"<nuvarinepackage>\n<templatess>\n</templatess>",
       Diagnostic(1, 0, "templatess", "templates"), "1:1-11=templates 2:2-12=templates"},
      {"<nuvarinepackge>\n</nuvarinepackge>", Diagnostic(0, 0, "nuvarinepackge", "nuvarinepackage"),
       "0:1-15=nuvarinepackage 1:2-16=nuvarinepackage"},
      {"<virtualshelf backgroud=\"x\"/>", Diagnostic(0, 14, "backgroud", "background"),
       "0:14-23=background"},
      // A missing attribute is told at its element; the near name follows.
      {"<theme name=\"a\" screenshoot=\"s.png\">", Diagnostic(0, 0, "screenshoot", "screenshot"),
       "0:16-27=screenshot"},
      {"<theme screenshot=\"Shot.png\">", Diagnostic(0, 19, "Shot.png", "shot.png"),
       "0:19-27=shot.png"},
      {"<catalog image='a&amp;b.png'/>", Diagnostic(0, 16, "a&b.png", "it's.png"),
       "0:16-27=it&apos;s.png"},
      // The first at or after the diagnostic's place.
      {"<a x=\"Shot.png\"/><b y=\"Shot.png\"/>", Diagnostic(0, 23, "Shot.png", "shot.png"),
       "0:23-31=shot.png"},
      {"<theme screenshot=\"shot.png\">", Diagnostic(0, 19, "Shot.png", "shot.png"), ""},
      {"<theme screenshot=\"Shot.png\">", Diagnostic(0, 19, "Shot.png", ""), ""},
      {"<theme screenshot=\"Shot.png\">", {{"range", Range(0, 19, 27)}, {"data", "x"}}, ""},
  };
  for (const Case& c : cases) {
    const LspText text(c.text);
    const json params = {{"context", {{"diagnostics", {c.diagnostic}}}}};
    EXPECT_EQ(c.edits, Edits(CodeActions(Document(text, PositionEncoding::kUtf16), params)))
        << c.text;
  }
}

// One action for a fix two diagnostics offer, none where only other kinds
// are asked for.
TEST_F(LspFeaturesTest, CodeActionsAsTheProtocolWantsThem) {
  const std::string source = "<theme screenshot=\"Shot.png\">";
  const LspText text(source);
  const OpenDocument document = Document(text, PositionEncoding::kUtf16);
  const json error = Diagnostic(0, 19, "Shot.png", "shot.png");
  json warning = error;
  warning["message"] = "w";
  const json want =
      json::array({{{"title", "Change 'Shot.png' to 'shot.png'"},
                    {"kind", "quickfix"},
                    {"diagnostics", {error, warning}},
                    {"isPreferred", true},
                    {"edit",
                     {{"changes",
                       {{"file:///" + JoinPath(kFolder, "main.xml"),
                         {{{"range", Range(0, 19, 27)}, {"newText", "shot.png"}}}}}}}}}});
  EXPECT_EQ(want, CodeActions(document, {{"context", {{"diagnostics", {error, warning}}}}}));
  EXPECT_EQ(
      json::array(),
      CodeActions(document, {{"context", {{"diagnostics", {error}}, {"only", {"refactor"}}}}}));
  EXPECT_EQ(want.size(),
            CodeActions(document, {{"context", {{"diagnostics", {error}}, {"only", {"quickfix"}}}}})
                .size());
  EXPECT_EQ(json::array(), CodeActions(document, json::object()));
  EXPECT_EQ(json::array(), CodeActions(document, {{"context", {{"diagnostics", "x"}}}}));
}

// A layout's elements are the media application's: nothing is offered.
TEST_F(LspFeaturesTest, ALayoutGetsNoAnswers) {
  const std::string source = "<theme name=\"a\"><templates/></theme>";
  const LspText text(source);
  OpenDocument layout = Document(text, PositionEncoding::kUtf16);
  layout.path = JoinPath(kFolder, "grid.xml");
  EXPECT_TRUE(Completion(layout, {0, 1}).is_null());
  EXPECT_TRUE(Hover(layout, {0, 2}).is_null());
  EXPECT_EQ(json::array(), DocumentSymbols(layout));
}

}  // namespace
}  // namespace nv
