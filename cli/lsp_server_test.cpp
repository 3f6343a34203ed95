// nvtheme lsp driven through its framing, as an editor drives it: tables of
// messages and what the server must answer, then the diagnostics of a theme
// folder as its manifest is broken and mended in an unsaved buffer.
#include "cli/lsp_server.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "cli/file_uri.h"
#include "testing/pipe_streams.h"
#include "testing/temp_folder.h"

namespace nv {
namespace {

using nlohmann::json;
using namespace std::chrono_literals;

std::string Framed(const std::string& body) {
  return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// The messages in the server's output so far.
std::vector<json> MessagesIn(const std::string& output) {
  std::vector<json> messages;
  for (size_t at = 0;;) {
    const size_t header = output.find("Content-Length: ", at);
    const size_t body = output.find("\r\n\r\n", at);
    if (header != at || body == std::string::npos) return messages;
    const size_t length = std::stoul(output.substr(header + 16, body - header - 16));
    if (body + 4 + length > output.size()) return messages;
    messages.push_back(json::parse(output.substr(body + 4, length)));
    at = body + 4 + length;
  }
}

// The test as an editor: a server on a thread of its own, and the client
// end of its streams.
class LspClient {
 public:
  explicit LspClient(LspSettings settings = {})
      : m_settings(std::move(settings)), m_in(&m_input), m_out(&m_output), m_thread([this] {
          m_status = ServeLanguage(m_in, m_out, m_log, RealFileSystem(), m_settings);
        }) {}
  ~LspClient() { End(); }

  void Send(const json& message) { m_input.Write(Framed(message.dump())); }
  void SendRaw(const std::string& bytes) { m_input.Write(bytes); }
  void Request(int id, const std::string& method, json params = json::object()) {
    Send({{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", std::move(params)}});
  }
  void Notify(const std::string& method, json params = json::object()) {
    Send({{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}});
  }
  void Initialize() {
    // A client that watches files itself, so that the server starts no watch.
    Request(0, "initialize",
            {{"capabilities",
              {{"workspace", {{"didChangeWatchedFiles", {{"dynamicRegistration", true}}}}}}}});
    Await([](const json& m) { return m.value("id", json()) == 0; });
    Notify("initialized");
  }

  // The next message not taken yet that `wanted` takes; null when none
  // came within the time.
  json Await(const std::function<bool(const json&)>& wanted,
             std::chrono::milliseconds timeout = 10s) {
    json found;
    m_output.WaitUntil(
        [&](const std::string& output) {
          const std::vector<json> messages = MessagesIn(output);
          for (size_t i = 0; i < messages.size(); ++i) {
            if (m_taken.count(i) || !wanted(messages[i])) continue;
            m_taken.insert(i);
            found = messages[i];
            return true;
          }
          return false;
        },
        timeout);
    return found;
  }
  json Answer(int id) {
    return Await([id](const json& m) { return m.value("id", json()) == id; });
  }
  // The diagnostics published next for `uri`.
  json Diagnostics(const std::string& uri, std::chrono::milliseconds timeout = 10s) {
    const json published = Await(
        [&](const json& m) {
          return m.value("method", "") == "textDocument/publishDiagnostics" &&
                 m["params"]["uri"] == uri;
        },
        timeout);
    return published.is_null() ? published : published["params"]["diagnostics"];
  }
  // Ends the client's stream and gives the server's exit status.
  int End() {
    m_input.Close();
    if (m_thread.joinable()) m_thread.join();
    return m_status;
  }
  std::string Log() const { return m_log.str(); }

 private:
  const LspSettings m_settings;
  InputPipe m_input;
  OutputCapture m_output;
  std::istream m_in;
  std::ostream m_out;
  std::ostringstream m_log;
  std::set<size_t> m_taken;
  int m_status = -1;
  std::thread m_thread;
};

struct LifecycleCase {
  const char* what;
  std::vector<std::string> sent;  // framed by the test unless they begin with "Content-Length"
  std::vector<json> answers;      // by id, each a result or an error's code
  int status;
};

TEST(LspServerTest, Lifecycle) {
  const std::string init = R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{}})";
  const std::string shutdown = R"({"jsonrpc":"2.0","id":2,"method":"shutdown"})";
  const std::string exit = R"({"jsonrpc":"2.0","method":"exit"})";
  const std::string hover =
      R"({"jsonrpc":"2.0","id":3,"method":"textDocument/hover","params":{"textDocument":{"uri":"file:///nowhere/main.xml"},"position":{"line":0,"character":0}}})";
  const LifecycleCase cases[] = {
      {"shutdown, then exit", {init, shutdown, exit}, {{1, "result"}, {2, nullptr}}, 0},
      {"exit without shutdown", {init, exit}, {{1, "result"}}, 1},
      {"the client's stream ends", {init}, {{1, "result"}}, 1},
      {"a request before initialize", {hover, init, shutdown, exit}, {{3, -32002}}, 0},
      {"an unknown method",
       {init, R"({"jsonrpc":"2.0","id":4,"method":"nvtheme/x"})", exit},
       {{4, -32601}},
       1},
      {"a document not open", {init, hover, exit}, {{3, -32602}}, 1},
      {"params of the wrong type",
       {init,
        R"({"jsonrpc":"2.0","id":5,"method":"textDocument/hover","params":{"textDocument":7}})",
        exit},
       {{5, -32602}},
       1},
      {"no JSON, then on",
       {init, "{\"jsonrpc\":", shutdown, exit},
       {{nullptr, -32700}, {2, nullptr}},
       0},
      {"binary bytes, then on",
       {init, std::string("\xff\x00\xfe", 3), shutdown, exit},
       {{nullptr, -32700}, {2, nullptr}},
       0},
      {"a header without a length, then on",
       {init, "Content-Type: x\r\n\r\n", shutdown, exit},
       {{2, nullptr}},
       0},
      {"a request after shutdown", {init, shutdown, hover, exit}, {{2, nullptr}, {3, -32600}}, 0},
      {"a second initialize", {init, init, exit}, {{1, "result"}, {1, -32600}}, 1},
  };
  for (const LifecycleCase& c : cases) {
    LspClient client;
    for (const std::string& sent : c.sent)
      client.SendRaw(sent.rfind("Content-Length", 0) == 0 ? sent : Framed(sent));
    for (const json& answer : c.answers) {
      const json id = answer[0];
      const json got = client.Await([&](const json& m) {
        return m.contains("id") && m["id"] == id && (m.contains("result") || m.contains("error"));
      });
      ASSERT_FALSE(got.is_null()) << c.what << ": no answer to " << id;
      if (answer[1].is_number())
        EXPECT_EQ(answer[1], got["error"]["code"]) << c.what << ": " << got;
      else if (answer[1] == "result")
        EXPECT_TRUE(got["result"].is_object()) << c.what << ": " << got;
      else
        EXPECT_TRUE(got.contains("result") && got["result"].is_null()) << c.what << ": " << got;
    }
    EXPECT_EQ(c.status, client.End()) << c.what;
  }
}

TEST(LspServerTest, OffersTheEncodingTheClientPrefers) {
  const std::pair<json, std::string> cases[] = {
      {json::object(), "utf-16"},
      {{{"general", {{"positionEncodings", {"utf-8", "utf-16"}}}}}, "utf-8"},
      {{{"general", {{"positionEncodings", {"utf-7", "utf-32"}}}}}, "utf-32"},
  };
  for (const auto& c : cases) {
    LspClient client;
    client.Request(1, "initialize", {{"capabilities", c.first}});
    EXPECT_EQ(c.second, client.Answer(1)["result"]["capabilities"]["positionEncoding"]);
  }
}

// The example theme, copied where the test may change it.
class ExampleFolder {
 public:
  ExampleFolder() {
    std::filesystem::copy(NV_EXAMPLES_DIR "/ocean", m_folder.Path(),
                          std::filesystem::copy_options::recursive);
    m_manifest = JoinPath(m_folder.Path(), "main.xml");
    std::ifstream in(m_manifest, std::ios::binary);
    m_text.assign(std::istreambuf_iterator<char>(in), {});
  }
  const TempFolder& Folder() const { return m_folder; }
  const std::string& Text() const { return m_text; }
  std::string Uri() const { return UriOfPath(m_manifest); }
  // The text with its first `from` made `to`.
  std::string With(const std::string& from, const std::string& to) const {
    std::string text = m_text;
    const size_t at = text.find(from);
    EXPECT_NE(std::string::npos, at) << from;
    return text.replace(at, from.size(), to);
  }

 private:
  TempFolder m_folder;
  std::string m_manifest;
  std::string m_text;
};

json Opened(const std::string& uri, const std::string& text) {
  return {{"textDocument", {{"uri", uri}, {"languageId", "xml"}, {"version", 1}, {"text", text}}}};
}

json Changed(const std::string& uri, int version, const std::string& text) {
  return {{"textDocument", {{"uri", uri}, {"version", version}}},
          {"contentChanges", {{{"text", text}}}}};
}

TEST(LspServerTest, TheBufferIsCheckedUnsaved) {
  ExampleFolder example;
  LspClient client;
  client.Initialize();
  client.Notify("textDocument/didOpen", Opened(example.Uri(), example.Text()));
  EXPECT_EQ(json::array(), client.Diagnostics(example.Uri()));

  // A letter of two bytes and one of four before the fault, on its line:
  // the range counts them as one and two UTF-16 units.
  client.Notify("textDocument/didChange",
                Changed(example.Uri(), 2,
                        example.With(R"(name="Novels")",
                                     "name=\"N\xC3\xB6v\xF0\x9D\x84\x9E\" colour=\"red\"")));
  const json broken = client.Diagnostics(example.Uri());
  ASSERT_EQ(1u, broken.size()) << broken;
  EXPECT_EQ(json::parse(R"({
    "code": "unknown-attribute",
    "message": "unknown attribute 'colour' of 'catalog': it is passed over",
    "range": {"start": {"line": 9, "character": 28}, "end": {"line": 9, "character": 40}},
    "severity": 2, "source": "nvtheme"})"),
            broken[0]);

  client.Notify("textDocument/didChange", Changed(example.Uri(), 3, example.Text()));
  EXPECT_EQ(json::array(), client.Diagnostics(example.Uri()));
  std::ifstream saved(JoinPath(example.Folder().Path(), "main.xml"), std::ios::binary);
  EXPECT_EQ(example.Text(), std::string(std::istreambuf_iterator<char>(saved), {}));
}

// A fault found in a layout the manifest names is told on the manifest's
// line and shown in the layout too, leading back to it.
TEST(LspServerTest, ALayoutsFaultIsShownInTheLayout) {
  ExampleFolder example;
  const std::string layout = UriOfPath(JoinPath(example.Folder().Path(), "layout-list.xml"));
  LspClient client;
  client.Initialize();
  client.Notify("textDocument/didOpen", Opened(example.Uri(), example.Text()));
  EXPECT_EQ(json::array(), client.Diagnostics(example.Uri()));
  client.Notify("textDocument/didOpen", Opened(layout, "<layout>\n  <cover <title/>\n</layout>\n"));

  const json shown = client.Diagnostics(layout);
  ASSERT_EQ(1u, shown.size()) << shown;
  EXPECT_EQ(json::parse(R"j({
    "code": "not-a-layout", "message": "not well-formed (invalid token)",
    "range": {"start": {"line": 1, "character": 9}, "end": {"line": 1, "character": 15}},
    "relatedInformation": [{"location": {"uri": ")j" +
                        example.Uri() + R"j(", "range":
        {"start": {"line": 6, "character": 32}, "end": {"line": 6, "character": 47}}},
      "message": "'layout-list.xml' is not a layout: it is not well-formed XML"}],
    "severity": 3, "source": "nvtheme"})j"),
            shown[0]);

  client.Notify("textDocument/didChange", Changed(layout, 2, "<layout/>\n"));
  EXPECT_EQ(json::array(), client.Diagnostics(layout));
}

TEST(LspServerTest, ABurstOfEditsGivesOneCheckOfTheLast) {
  ExampleFolder example;
  LspClient client;
  client.Initialize();
  client.Notify("textDocument/didOpen", Opened(example.Uri(), example.Text()));
  ASSERT_EQ(json::array(), client.Diagnostics(example.Uri()));
  for (int version = 2; version < 7; ++version)
    client.Notify(
        "textDocument/didChange",
        Changed(example.Uri(), version,
                example.With("<templates>", "<templates" + std::string(version, 's') + ">")));
  const json last = client.Diagnostics(example.Uri());
  ASSERT_FALSE(last.is_null());
  EXPECT_NE(std::string::npos, last.dump().find("'templatesssssss'")) << last;  // the sixth
  EXPECT_TRUE(client.Diagnostics(example.Uri(), 600ms).is_null()) << "a second check";
}

// What the check says of a folder when it cannot say what it finds.
struct CutShortCase {
  const char* what;
  LspSettings settings;
  const char* says;
};

TEST(LspServerTest, AChecksLimitsAreToldAsCutShort) {
  LspSettings noTime;
  noTime.checkTime = 0ms;
  LspSettings small;
  small.maxCheckedBytes = 100;
  const CutShortCase cases[] = {
      {"out of time", noTime, "the check was cut short: it took longer than"},
      {"a document too large", small, "the check was cut short: the document is larger than"},
  };
  for (const CutShortCase& c : cases) {
    ExampleFolder example;
    LspClient client(c.settings);
    client.Initialize();
    client.Notify("textDocument/didOpen", Opened(example.Uri(), example.Text()));
    const json diagnostics = client.Diagnostics(example.Uri());
    ASSERT_EQ(1u, diagnostics.size()) << c.what << ": " << diagnostics;
    EXPECT_EQ(0u, diagnostics[0]["message"].get<std::string>().find(c.says))
        << c.what << ": " << diagnostics;
  }
}

TEST(LspServerTest, AFileNotUtf8OnTheDiskIsCheckedAsSaved) {
  ExampleFolder example;
  // Saved in Latin-1, with a theme name the editor shows converted, and
  // an attribute no rule reads that the buffer lacks.
  example.Folder().Put("main.xml", example.With(R"(name="Ocean Day")",
                                                "name=\"Oc\xE9"
                                                "an\" x=\"1\""));
  LspClient client;
  client.Initialize();
  client.Notify("textDocument/didOpen", Opened(example.Uri(), example.Text()));
  const json diagnostics = client.Diagnostics(example.Uri());
  ASSERT_EQ(3u, diagnostics.size()) << diagnostics;
  EXPECT_EQ("malformed-xml", diagnostics[0]["code"]);  // byte 0xE9 is not UTF-8
  EXPECT_EQ("unknown-attribute", diagnostics[1]["code"]);
  EXPECT_EQ(0u,
            diagnostics[2]["message"].get<std::string>().find("the file is not UTF-8 on the disk"));
}

TEST(LspServerTest, RequestsAreAnsweredWhileACheckRuns) {
  ExampleFolder example;
  std::string many;
  for (int i = 0; i < 50000; ++i)
    many +=
        R"(<catalog name="Music" image="cat-music.png" olx="10" oly="8" olwidth="100" olheight="24"/>)";
  LspClient client;
  client.Initialize();
  client.Notify("textDocument/didOpen",
                Opened(example.Uri(), example.With("</virtualshelf>", many + "</virtualshelf>")));
  std::this_thread::sleep_for(300ms);  // past the quiet time: the check runs
  client.Request(
      7, "textDocument/hover",
      {{"textDocument", {{"uri", example.Uri()}}}, {"position", {{"line", 3}, {"character", 4}}}});
  const json answer = client.Await(
      [](const json& m) {
        return m.value("id", json()) == 7 ||
               m.value("method", "") == "textDocument/publishDiagnostics";
      },
      60s);
  ASSERT_TRUE(answer.is_object()) << "neither an answer nor diagnostics came";
  EXPECT_EQ(7, answer.value("id", json())) << "answered after the check: " << answer;
}

TEST(LspServerTest, ChangesOnTheDiskArePublished) {
  ExampleFolder example;
  std::filesystem::remove(JoinPath(example.Folder().Path(), "cat-music.png"));
  LspClient client;
  // A client that watches nothing: the server watches the folder itself.
  client.Request(0, "initialize", {{"capabilities", json::object()}});
  client.Answer(0);
  client.Notify("initialized");
  client.Notify("textDocument/didOpen", Opened(example.Uri(), example.Text()));
  const json missing = client.Diagnostics(example.Uri());
  ASSERT_NE(std::string::npos, missing.dump().find("cat-music.png")) << missing;
  std::filesystem::copy(JoinPath(example.Folder().Path(), "cat-novels.png"),
                        JoinPath(example.Folder().Path(), "cat-music.png"));
  EXPECT_EQ(json::array(), client.Diagnostics(example.Uri()));
  client.Notify("textDocument/didChange",
                Changed(example.Uri(), 2, example.With("<templates>", "<templatess>")));
  ASSERT_NE(json::array(), client.Diagnostics(example.Uri()));
  client.Notify("textDocument/didClose", {{"textDocument", {{"uri", example.Uri()}}}});
  EXPECT_EQ(json::array(), client.Diagnostics(example.Uri())) << "cleared on close";
}

}  // namespace
}  // namespace nv
