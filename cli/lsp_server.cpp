// The language server: the client's messages read on one thread, answered
// on another, and each folder checked on a third while the author types on.
#include "cli/lsp_server.h"

#include <atomic>
#include <memory>
#include <set>
#include <thread>

#include "builder/image_verdict_cache.h"
#include "cli/file_uri.h"
#include "cli/lsp_check.h"
#include "cli/lsp_diagnostics.h"
#include "cli/lsp_features.h"
#include "cli/lsp_framing.h"
#include "cli/lsp_inbox.h"
#include "cli/watch_loop.h"
#include "manifest/read_text_file.h"
#include "platform/folder_watch.h"

namespace nv {

namespace {

using nlohmann::json;
using Clock = LspInbox::Clock;

// The protocol's error codes.
constexpr int kParseError = -32700;
constexpr int kInvalidRequest = -32600;
constexpr int kMethodNotFound = -32601;
constexpr int kInvalidParams = -32602;
constexpr int kServerNotInitialized = -32002;

constexpr char kManifestName[] = "main.xml";

// A request the client sent that the server cannot answer as asked.
struct RequestError {
  int code;
  std::string message;
};

struct Document {
  std::string uri;
  std::string path;
  std::string folder;
  std::shared_ptr<const std::string> text;
  int64_t version = 0;
};

// Watches a folder for changes made on the disk, for a client that tells of
// none: each is handed to the inbox until Stop.
class FolderWatcher {
 public:
  FolderWatcher(const std::string& folder, std::shared_ptr<LspInbox> inbox)
      : m_thread([this, folder, inbox] { Watch(folder, *inbox); }) {}
  ~FolderWatcher() {
    m_stop = true;
    m_thread.join();
  }

 private:
  // The log is the serving thread's to write.
  static void Tell(LspInbox& inbox, std::string text) {
    LspEvent note;
    note.kind = LspEvent::Kind::kNote;
    note.text = std::move(text);
    inbox.Push(std::move(note));
  }

  void Watch(const std::string& folder, LspInbox& inbox) {
    std::string err;
    const std::unique_ptr<FolderWatch> watch = WatchFolders({folder}, IsEditorScratch, &err);
    if (!watch) return Tell(inbox, folder + ": cannot watch the folder: " + err);
    while (!m_stop) {
      const FolderWatch::Event event = watch->Wait(100, &err);
      if (event == FolderWatch::Event::Changed) {
        LspEvent changed;
        changed.kind = LspEvent::Kind::kFolderChanged;
        changed.folder = folder;
        inbox.Push(std::move(changed));
      } else if (event == FolderWatch::Event::Failed) {
        return Tell(inbox, folder + ": the watch failed: " + err);
      }
    }
  }

  std::atomic<bool> m_stop{false};
  std::thread m_thread;
};

// A theme folder with documents open: when it is next checked, and what
// was published of it.
struct Folder {
  uint64_t generation = 0;  // one more for every change
  bool due = false;
  Clock::time_point dueAt;
  std::set<std::string> published;  // the URIs with diagnostics
  std::unique_ptr<FolderWatcher> watcher;
};

// The check that runs, one at a time, so that two never share the memory
// one is allowed.
struct RunningCheck {
  std::string folder;
  std::shared_ptr<CheckBudget> budget;
  std::thread thread;
};

class LanguageServer {
 public:
  LanguageServer(std::ostream& out, std::ostream& log, FileSystem& fs, const LspSettings& settings)
      : m_out(out),
        m_log(log),
        m_fs(fs),
        m_settings(settings),
        m_inbox(std::make_shared<LspInbox>()) {}

  int Serve(std::istream& in);

 private:
  bool Handle(const LspEvent& event);
  bool HandleMessage(const std::string& body);
  json Answer(const std::string& method, const json& params);
  void Notice(const std::string& method, const json& params);
  json Initialize(const json& params);
  void Opened(const json& params);
  void Changed(const json& params);
  void Closed(const json& params);
  void WatchedFilesChanged(const json& params);
  void Touch(const std::string& folder);
  Clock::time_point NextDue() const;
  void StartDueCheck();
  void StartCheck(const std::string& folder);
  void CheckEnded(const LspEvent& event);
  void Publish(const std::string& path, const std::map<std::string, json>& diagnostics);
  void Send(const json& message);
  void Respond(const json& id, json result);
  void RespondError(const json& id, int code, const std::string& message);
  Document& DocumentOf(const json& params);
  OpenDocument Open(const Document& document, const LspText& text);
  std::string UriOf(const std::string& path) const;
  bool IsThemeFolder(const std::string& folder);
  void StopChecks();

  std::ostream& m_out;
  std::ostream& m_log;
  FileSystem& m_fs;
  const LspSettings& m_settings;
  std::shared_ptr<LspInbox> m_inbox;
  bool m_initialized = false;
  bool m_shutDown = false;
  bool m_exited = false;
  bool m_clientWatches = false;
  PositionEncoding m_encoding = PositionEncoding::kUtf16;
  std::map<std::string, Document> m_documents;  // by URI
  std::map<std::string, Folder> m_folders;      // by path
  std::unique_ptr<RunningCheck> m_check;
};

// The reader: every message in turn, then the end.
void ReadMessages(std::istream& in, std::shared_ptr<LspInbox> inbox,
                  std::shared_ptr<std::atomic<bool>> done) {
  for (;;) {
    LspEvent event;
    std::string err;
    const Framed framed = ReadFramedMessage(in, &event.text, &err);
    if (framed == Framed::kEnd) break;
    event.kind = framed == Framed::kMessage ? LspEvent::Kind::kMessage : LspEvent::Kind::kNote;
    if (framed == Framed::kBroken) event.text = err;
    inbox->Push(std::move(event));
    if (framed == Framed::kBroken && !in) break;
  }
  *done = true;
  inbox->Push(LspEvent{});
}

int LanguageServer::Serve(std::istream& in) {
  auto readerDone = std::make_shared<std::atomic<bool>>(false);
  std::thread reader(ReadMessages, std::ref(in), m_inbox, readerDone);
  for (bool going = true; going;) {
    LspEvent event;
    if (m_inbox->Pop(NextDue(), &event)) going = Handle(event);
    if (going) StartDueCheck();
  }
  StopChecks();
  m_folders.clear();  // stops the watches
  // A reader still waiting on a client that said exit but keeps its end of
  // the pipe open is left to the process's end; one done is joined.
  for (int waited = 0; !*readerDone && waited < 20; ++waited)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  if (*readerDone)
    reader.join();
  else
    reader.detach();
  return m_shutDown ? 0 : 1;
}

bool LanguageServer::Handle(const LspEvent& event) {
  switch (event.kind) {
    case LspEvent::Kind::kMessage:
      return HandleMessage(event.text);
    case LspEvent::Kind::kNote:
      m_log << "nvtheme lsp: " << event.text << "\n";
      return true;
    case LspEvent::Kind::kEnd:
      return false;
    case LspEvent::Kind::kChecked:
      CheckEnded(event);
      return true;
    case LspEvent::Kind::kFolderChanged:
      Touch(event.folder);
      return true;
  }
  return true;
}

bool LanguageServer::HandleMessage(const std::string& body) {
  const json message = json::parse(body, nullptr, false);
  if (message.is_discarded()) {
    RespondError(nullptr, kParseError, "the message is not JSON");
    return true;
  }
  const bool hasId = message.is_object() && message.contains("id") &&
                     (message["id"].is_string() || message["id"].is_number_integer());
  const json id = hasId ? message["id"] : json(nullptr);
  if (!message.is_object() || !message.contains("method") || !message["method"].is_string()) {
    // A response to the server's own request needs nothing.
    if (!(message.is_object() && (message.contains("result") || message.contains("error"))))
      RespondError(id, kInvalidRequest, "the message is no request, notification or response");
    return true;
  }
  const std::string method = message["method"];
  const json params = message.value("params", json::object());
  try {
    if (!hasId) {
      Notice(method, params);
      return !m_exited;
    }
    if (!m_initialized && method != "initialize")
      throw RequestError{kServerNotInitialized, "the server is not initialized"};
    if (m_shutDown) throw RequestError{kInvalidRequest, "the server is shutting down"};
    Respond(id, Answer(method, params));
  } catch (const RequestError& error) {
    if (hasId) RespondError(id, error.code, error.message);
  } catch (const json::exception& error) {
    if (hasId)
      RespondError(id, kInvalidParams, std::string("invalid params: ") + error.what());
    else
      m_log << "nvtheme lsp: " << method << ": invalid params: " << error.what() << "\n";
  }
  return !m_exited;
}

json LanguageServer::Answer(const std::string& method, const json& params) {
  if (method == "initialize") return Initialize(params);
  if (method == "shutdown") {
    m_shutDown = true;
    StopChecks();
    return nullptr;
  }
  const auto answer = [&](auto feature) {
    Document& document = DocumentOf(params);
    const std::shared_ptr<const std::string> text = document.text;  // kept while answered
    const LspText lines(*text);
    return feature(Open(document, lines));
  };
  const auto at = [&] {
    const json& position = params.at("position");
    return LspPosition{position.at("line").get<size_t>(), position.at("character").get<size_t>()};
  };
  if (method == "textDocument/completion")
    return answer([&](const OpenDocument& d) { return Completion(d, at()); });
  if (method == "textDocument/hover")
    return answer([&](const OpenDocument& d) { return Hover(d, at()); });
  if (method == "textDocument/definition")
    return answer([&](const OpenDocument& d) { return Definition(d, at()); });
  if (method == "textDocument/documentSymbol")
    return answer([&](const OpenDocument& d) { return DocumentSymbols(d); });
  if (method == "textDocument/codeAction")
    return answer([&](const OpenDocument& d) { return CodeActions(d, params); });
  throw RequestError{kMethodNotFound, "no method " + method};
}

void LanguageServer::Notice(const std::string& method, const json& params) {
  if (method == "exit") {
    m_exited = true;
    return;
  }
  if (!m_initialized || m_shutDown) return;
  if (method == "initialized" && m_clientWatches) {
    json registration = {{"id", "nvtheme-watch"}, {"method", "workspace/didChangeWatchedFiles"}};
    registration["registerOptions"]["watchers"] = json::array({{{"globPattern", "**/*"}}});
    json request = {{"jsonrpc", "2.0"}, {"id", "nvtheme-watch"}};
    request["method"] = "client/registerCapability";
    request["params"]["registrations"] = json::array({registration});
    Send(request);
  }
  if (method == "textDocument/didOpen") Opened(params);
  if (method == "textDocument/didChange") Changed(params);
  if (method == "textDocument/didClose") Closed(params);
  if (method == "workspace/didChangeWatchedFiles") WatchedFilesChanged(params);
  // didSave changes nothing the buffer did not; $/cancelRequest comes too
  // late for a request, each being answered as it arrives.
}

json LanguageServer::Initialize(const json& params) {
  if (m_initialized) throw RequestError{kInvalidRequest, "the server is initialized already"};
  m_initialized = true;
  const json capabilities = params.value("capabilities", json::object());
  const json general = capabilities.value("general", json::object());
  std::string encoding = "utf-16";
  for (const json& offered : general.value("positionEncodings", json::array())) {
    if (offered == "utf-8" || offered == "utf-16" || offered == "utf-32") {
      encoding = offered;
      break;
    }
  }
  m_encoding = encoding == "utf-8"    ? PositionEncoding::kUtf8
               : encoding == "utf-32" ? PositionEncoding::kUtf32
                                      : PositionEncoding::kUtf16;
  const json workspace = capabilities.value("workspace", json::object());
  m_clientWatches =
      workspace.value("didChangeWatchedFiles", json::object()).value("dynamicRegistration", false);
  return {{"capabilities",
           {{"positionEncoding", encoding},
            {"textDocumentSync",
             {{"openClose", true}, {"change", 2}, {"save", {{"includeText", false}}}}},
            {"completionProvider", {{"triggerCharacters", {"<", " ", "\"", "'"}}}},
            {"hoverProvider", true},
            {"definitionProvider", true},
            {"documentSymbolProvider", true},
            {"codeActionProvider", {{"codeActionKinds", {"quickfix"}}}}}},
          {"serverInfo", {{"name", "nvtheme"}, {"version", NV_VERSION}}}};
}

Document& LanguageServer::DocumentOf(const json& params) {
  const std::string uri = params.at("textDocument").at("uri");
  const auto found = m_documents.find(uri);
  if (found == m_documents.end()) throw RequestError{kInvalidParams, uri + " is not open"};
  return found->second;
}

OpenDocument LanguageServer::Open(const Document& document, const LspText& text) {
  return OpenDocument{text,          m_encoding,
                      m_fs,          document.folder,
                      document.path, [this](const std::string& path) { return UriOf(path); }};
}

std::string LanguageServer::UriOf(const std::string& path) const {
  for (const auto& open : m_documents)
    if (open.second.path == path) return open.first;
  return UriOfPath(path);
}

// A folder is checked when it holds a manifest, saved or open.
bool LanguageServer::IsThemeFolder(const std::string& folder) {
  const std::string manifest = JoinPath(folder, kManifestName);
  for (const auto& open : m_documents)
    if (open.second.path == manifest) return true;
  std::string err;
  return m_fs.PathExists(manifest, &err);
}

void LanguageServer::Opened(const json& params) {
  const json& item = params.at("textDocument");
  Document document;
  document.uri = item.at("uri");
  if (!PathOfUri(document.uri, &document.path)) {
    m_log << "nvtheme lsp: " << document.uri << ": not a file on this machine: not checked\n";
    return;
  }
  document.folder = ParentOf(document.path);
  document.text = std::make_shared<const std::string>(item.at("text").get<std::string>());
  document.version = item.value("version", int64_t{0});
  const std::string folder = document.folder;
  m_documents[document.uri] = std::move(document);
  if (IsThemeFolder(folder)) Touch(folder);
}

void LanguageServer::Changed(const json& params) {
  Document& document = DocumentOf(params);
  std::string text = *document.text;
  for (const json& change : params.at("contentChanges")) {
    const std::string replacement = change.at("text");
    if (!change.contains("range")) {
      text = replacement;
      continue;
    }
    const LspText lines(text);
    const json& range = change["range"];
    const auto offset = [&](const json& at) {
      return lines.OffsetOf({at.at("line").get<size_t>(), at.at("character").get<size_t>()},
                            m_encoding);
    };
    const size_t from = offset(range.at("start"));
    const size_t to = std::max(from, offset(range.at("end")));
    text.replace(from, to - from, replacement);
  }
  document.text = std::make_shared<const std::string>(std::move(text));
  document.version = params.at("textDocument").value("version", document.version);
  Touch(document.folder);
}

void LanguageServer::Closed(const json& params) {
  const std::string folder = DocumentOf(params).folder;
  m_documents.erase(params.at("textDocument").at("uri").get<std::string>());
  for (const auto& open : m_documents)
    if (open.second.folder == folder) return Touch(folder);
  // The last document of the folder: its diagnostics go with it.
  const auto found = m_folders.find(folder);
  if (found == m_folders.end()) return;
  if (m_check && m_check->folder == folder) m_check->budget->Cancel();
  Publish(folder, {});
  m_folders.erase(found);
}

void LanguageServer::WatchedFilesChanged(const json& params) {
  for (const json& change : params.at("changes")) {
    std::string path;
    if (PathOfUri(change.at("uri"), &path) && m_folders.count(ParentOf(path)))
      Touch(ParentOf(path));
  }
}

// Something of the folder changed: it is checked once the changes stop,
// and a check that runs now is given up.
void LanguageServer::Touch(const std::string& path) {
  const bool known = m_folders.count(path) > 0;
  Folder& folder = m_folders[path];
  if (!known && !m_clientWatches) folder.watcher = std::make_unique<FolderWatcher>(path, m_inbox);
  ++folder.generation;
  folder.due = true;
  folder.dueAt = Clock::now() + m_settings.quiet;
  if (m_check && m_check->folder == path) m_check->budget->Cancel();
}

Clock::time_point LanguageServer::NextDue() const {
  Clock::time_point next = Clock::now() + std::chrono::hours(1);
  if (m_check) return next;  // its end is an event of its own
  for (const auto& folder : m_folders)
    if (folder.second.due) next = std::min(next, folder.second.dueAt);
  return next;
}

void LanguageServer::StartDueCheck() {
  if (m_check || m_shutDown) return;
  for (auto& folder : m_folders) {
    if (folder.second.due && folder.second.dueAt <= Clock::now()) {
      folder.second.due = false;
      return StartCheck(folder.first);
    }
  }
}

void LanguageServer::StartCheck(const std::string& folder) {
  std::map<std::string, std::shared_ptr<const std::string>> texts;
  std::map<std::string, json> tooLarge;
  for (const auto& open : m_documents) {
    if (open.second.folder != folder) continue;
    texts[open.second.path] = open.second.text;
    if (open.second.text->size() > m_settings.maxCheckedBytes)
      tooLarge[open.second.path].push_back(FileDiagnostic(
          2, std::string(kCheckCutShort) + ": the document is larger than " +
                 std::to_string(m_settings.maxCheckedBytes >> 20) +
                 " MiB, more than is checked as it is typed; run 'nvtheme check' on the folder"));
  }
  if (!tooLarge.empty()) return Publish(folder, tooLarge);
  m_check = std::make_unique<RunningCheck>();
  m_check->folder = folder;
  m_check->budget = std::make_shared<CheckBudget>(m_settings.checkTime);
  const uint64_t generation = m_folders[folder].generation;
  const std::shared_ptr<CheckBudget> budget = m_check->budget;
  const std::shared_ptr<LspInbox> inbox = m_inbox;
  FileSystem& fs = m_fs;
  const PositionEncoding encoding = m_encoding;
  const std::string cacheFolder = m_settings.cacheFolder;
  std::map<std::string, std::string> uris;
  for (const auto& open : m_documents) uris[open.second.path] = open.first;
  m_check->thread = std::thread([=, &fs]() mutable {
    LspEvent ended;
    ended.kind = LspEvent::Kind::kChecked;
    ended.folder = folder;
    ended.generation = generation;
    ended.diagnostics =
        CheckedDiagnostics(fs, folder, std::move(texts), *budget, encoding, cacheFolder, uris);
    inbox->Push(std::move(ended));
  });
}

void LanguageServer::CheckEnded(const LspEvent& event) {
  if (m_check) {
    m_check->thread.join();
    m_check.reset();
  }
  const auto found = m_folders.find(event.folder);
  if (found == m_folders.end() || found->second.generation != event.generation) return;
  Publish(event.folder, event.diagnostics);
}

void LanguageServer::Publish(const std::string& path,
                             const std::map<std::string, json>& diagnostics) {
  Folder& folder = m_folders[path];
  std::set<std::string> published;
  for (const auto& file : diagnostics) {
    const std::string uri = UriOf(file.first);
    published.insert(uri);
    Send({{"jsonrpc", "2.0"},
          {"method", "textDocument/publishDiagnostics"},
          {"params", {{"uri", uri}, {"diagnostics", file.second}}}});
  }
  // The folder's open documents are told they have none, and so is each
  // file that had some.
  std::set<std::string> cleared = folder.published;
  for (const auto& open : m_documents)
    if (ParentOf(open.second.path) == path) cleared.insert(open.first);
  for (const std::string& uri : cleared)
    if (!published.count(uri))
      Send({{"jsonrpc", "2.0"},
            {"method", "textDocument/publishDiagnostics"},
            {"params", {{"uri", uri}, {"diagnostics", json::array()}}}});
  folder.published = std::move(published);
}

void LanguageServer::StopChecks() {
  if (!m_check) return;
  m_check->budget->Cancel();
  m_check->thread.join();
  m_check.reset();
}

void LanguageServer::Send(const json& message) {
  WriteFramedMessage(m_out, message.dump(-1, ' ', false, json::error_handler_t::replace));
}

void LanguageServer::Respond(const json& id, json result) {
  Send({{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(result)}});
}

void LanguageServer::RespondError(const json& id, int code, const std::string& message) {
  Send({{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}});
}

}  // namespace

int ServeLanguage(std::istream& in, std::ostream& out, std::ostream& log, FileSystem& fs,
                  const LspSettings& settings) {
  return LanguageServer(out, log, fs, settings).Serve(in);
}

}  // namespace nv
