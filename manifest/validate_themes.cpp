// The manifest rules for themes, their templates, virtual shelves and
// catalogs, in the order in which a theme's walk meets them.
#include "manifest/validate_themes.h"

#include <tinyxml.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "manifest/error_notes.h"
#include "manifest/manifest_error.h"
#include "manifest/manifest_log_texts.h"
#include "run/packed_files.h"

namespace nv {

namespace {

using Kind = ManifestErrorKind;

// The message of the fault's log line.
std::string FaultLine(const RuleFault& fault) {
  OperationLog scratch;
  WriteManifestError(fault.kind, scratch, fault.first, fault.second);
  return MessageOfErrorLine(scratch.Text());
}

// Integer attributes, in the order their lines appear.
const char* const kShelfSizes[] = {"uwidth", "uheight", "uhspace", "uvspace"};
const char* const kCatalogPlace[] = {"olx", "oly", "olwidth", "olheight"};

// What one theme's walk has found. A faulty detail or a shelf whose
// background is missing only fails to count; a fault that clears noFault
// fails the theme whatever else it holds.
struct ThemeState {
  bool noFault = true;
  bool detailFileFound = false;
  bool shelfBackgroundFound = false;
  ThemeWalkFacts facts;               // for the notes of the verdict
  const ErrorNotes* notes = nullptr;  // which tell an echo of a broken tag

  bool Valid() const { return noFault && detailFileFound && shelfBackgroundFound; }
  void Clear(const RuleFault& fault) {
    noFault = false;
    facts.Cleared(fault, notes && notes->Echoes(fault));
  }
};

// The checks a theme must pass before it is walked, in their order.
enum class EntryCheck { kNone, kAttributesGiven, kLengths, kScreenshotExists };

// The line of the entry check that failed.
RuleFault EntryFault(const TiXmlElement& theme, EntryCheck failed) {
  switch (failed) {
    case EntryCheck::kLengths:
      return {&theme, Kind::AttributesInvalid, "name, screenshot", ""};
    case EntryCheck::kScreenshotExists:
      return {&theme, Kind::FileMissing, theme.Attribute("screenshot"), "screenshot"};
    default:
      return {&theme, Kind::AttributesNotFound, "name or screenshot", "theme"};
  }
}

bool IsNamed(const TiXmlElement& element, const char* tag) {
  return std::strcmp(element.Value(), tag) == 0;
}

class ThemeValidator {
 public:
  // Findings get notes from `notes` when it is given.
  ThemeValidator(const RunContext& run, const std::string& folder, const ThemeFindings& findings,
                 ErrorNotes* notes)
      : m_run(run), m_folder(folder), m_findings(findings), m_notes(notes) {}

  // Walks one theme, writing a line per broken rule, and gives its verdict.
  bool Validate(const TiXmlElement& theme);

 private:
  EntryCheck FailedEntryCheck(const TiXmlElement& theme);
  void CheckBeyond(const TiXmlElement& theme, EntryCheck failed);
  std::vector<LocatedNote> HiddenBehind(const TiXmlElement& theme, EntryCheck failed);
  bool Walk(const TiXmlElement& theme);
  void CheckContent(const TiXmlElement& theme, ThemeState* state);
  void CheckTemplates(const TiXmlElement& templates, ThemeState* state);
  void CheckDetail(const TiXmlElement& detail, ThemeState* state);
  void CheckShelf(const TiXmlElement& shelf, ThemeState* state);
  void CheckCatalog(const TiXmlElement& catalog, ThemeState* state);
  void CheckIntegers(const TiXmlElement& element, const char* const (&names)[4], ThemeState* state);
  bool Exists(const char* name) {
    return FileExistsInFolder(m_run.fs, m_folder, name, m_run.outsideLinks);
  }
  RuleFault Fault(const TiXmlElement& concerned, Kind kind, const std::string& first,
                  const std::string& second = "");
  std::vector<LocatedNote> FaultPlaces(const ThemeWalkFacts& facts) const;
  // Writes the fault's line and tells it, with `related` after its notes.
  void Write(const RuleFault& fault, const std::vector<LocatedNote>& related = {});
  void Tell(ThemeFinding finding, size_t lineStart);

  const RunContext& m_run;
  const std::string& m_folder;
  const ThemeFindings& m_findings;
  ErrorNotes* m_notes;
};

// A theme that fails an entry check is not walked and gets no verdict line;
// what the walk would find is told in the notes of the entry check's line.
bool ThemeValidator::Validate(const TiXmlElement& theme) {
  const EntryCheck failed = FailedEntryCheck(theme);
  if (failed == EntryCheck::kNone) return Walk(theme);
  Write(EntryFault(theme, failed),
        m_notes ? HiddenBehind(theme, failed) : std::vector<LocatedNote>());
  return false;
}

EntryCheck ThemeValidator::FailedEntryCheck(const TiXmlElement& theme) {
  const char* name = theme.Attribute("name");
  const char* screenshot = theme.Attribute("screenshot");
  if (!name || !screenshot) return EntryCheck::kAttributesGiven;
  if (std::strlen(name) < 2 || std::strlen(screenshot) < 2) return EntryCheck::kLengths;
  if (!Exists(screenshot)) return EntryCheck::kScreenshotExists;
  return EntryCheck::kNone;
}

// What the theme would show once the failed entry check passed: the later
// checks, as far as its attributes allow, and its walk, none of them
// stopping at a fault, so that no fault hides another.
void ThemeValidator::CheckBeyond(const TiXmlElement& theme, EntryCheck failed) {
  const char* name = theme.Attribute("name");
  const char* screenshot = theme.Attribute("screenshot");
  auto isShort = [](const char* value) { return value && std::strlen(value) < 2; };
  if (failed < EntryCheck::kLengths && (isShort(name) || isShort(screenshot)))
    Fault(theme, Kind::AttributesInvalid, "name, screenshot");
  if (failed < EntryCheck::kScreenshotExists && screenshot && !isShort(screenshot) &&
      !Exists(screenshot))
    Fault(theme, Kind::FileMissing, screenshot, "screenshot");
  Walk(theme);
}

// The findings of that second look, walked into a log of its own: the
// operation log says what the rules did, and they stopped.
std::vector<LocatedNote> ThemeValidator::HiddenBehind(const TiXmlElement& theme,
                                                      EntryCheck failed) {
  OperationLog scratchLog;
  SilentPublisher silent;
  const RunContext scratch{m_run.fs, scratchLog, silent, nullptr, m_run.outsideLinks};
  std::vector<LocatedNote> hidden;
  const ThemeFindings collect = [&](const ThemeFinding& finding) {
    hidden.push_back({"", m_notes->PlaceOf(finding.concerned, finding.valueOf),
                      "once this is fixed: " + MessageOfErrorLine(finding.line)});
  };
  ThemeValidator(scratch, m_folder, collect, nullptr).CheckBeyond(theme, failed);
  return hidden;
}

bool ThemeValidator::Walk(const TiXmlElement& theme) {
  ThemeState state;
  state.notes = m_notes;
  CheckContent(theme, &state);
  if (state.Valid()) {
    m_run.log << log_text::kThemeValid;
    return true;
  }
  const size_t lineStart = m_run.log.Text().size();
  m_run.log << log_text::kThemeInvalid;
  if (!m_findings) return false;
  ThemeFinding finding{theme, "", {}, FaultPlaces(state.facts), {}, "", {}};
  if (m_notes)
    finding.notes = m_notes->OfInvalidTheme(theme, state.facts, state.detailFileFound,
                                            state.shelfBackgroundFound, &finding.fix);
  Tell(std::move(finding), lineStart);
  return false;
}

// Where each fault the verdict's notes name stands, for an editor to go to.
std::vector<LocatedNote> ThemeValidator::FaultPlaces(const ThemeWalkFacts& facts) const {
  std::vector<LocatedNote> places;
  if (!m_notes) return places;
  for (const std::optional<RuleFault>* fault :
       {&facts.detailFault, &facts.backgroundFault, &facts.clearingFault}) {
    if (!*fault || m_notes->Echoes(**fault)) continue;  // the broken tag is told at its place
    const RuleFault& f = **fault;
    const TextPosition at =
        m_notes->PlaceOf(*f.element, f.kind == Kind::FileMissing ? f.second : "");
    const bool told =
        std::any_of(places.begin(), places.end(), [&](const LocatedNote& p) { return p.at == at; });
    if (!told) places.push_back({"", at, "the theme fails by this fault: " + FaultLine(f)});
  }
  return places;
}

// A comment or text counts as content, though it holds nothing that counts.
void ThemeValidator::CheckContent(const TiXmlElement& theme, ThemeState* state) {
  if (theme.NoChildren()) {
    Fault(theme, Kind::NoChildNodes, "theme");
    return;
  }
  for (const TiXmlElement* child = theme.FirstChildElement(); child;
       child = child->NextSiblingElement()) {
    if (IsNamed(*child, "templates")) CheckTemplates(*child, state);
    if (IsNamed(*child, "virtualshelf")) CheckShelf(*child, state);
  }
}

// Only "detail" elements count; anything else in "templates" is passed over.
void ThemeValidator::CheckTemplates(const TiXmlElement& templates, ThemeState* state) {
  state->facts.templatesMet = true;
  for (const TiXmlElement* detail = templates.FirstChildElement("detail"); detail;
       detail = detail->NextSiblingElement("detail"))
    CheckDetail(*detail, state);
}

void ThemeValidator::CheckDetail(const TiXmlElement& detail, ThemeState* state) {
  state->facts.detailMet = true;
  const char* file = detail.Attribute("file");
  if (!detail.Attribute("mode"))
    state->facts.DetailFailed(Fault(detail, Kind::AttributesNotFound, "mode", "detail"));
  else if (!file)
    state->facts.DetailFailed(Fault(detail, Kind::AttributesNotFound, "file", "detail"));
  else if (Exists(file))
    state->detailFileFound = true;
  else
    state->facts.DetailFailed(Fault(detail, Kind::FileMissing, file, "file"));
}

void ThemeValidator::CheckShelf(const TiXmlElement& shelf, ThemeState* state) {
  state->facts.shelfMet = true;
  const char* background = shelf.Attribute("background");
  if (!background) {
    const RuleFault fault = Fault(shelf, Kind::AttributesNotFound, "background", "virtualshelf");
    state->facts.BackgroundFailed(fault);
    state->Clear(fault);
  } else if (Exists(background)) {
    state->shelfBackgroundFound = true;
  } else {
    state->facts.BackgroundFailed(Fault(shelf, Kind::FileMissing, background, "background"));
  }
  CheckIntegers(shelf, kShelfSizes, state);
  for (const TiXmlElement* catalog = shelf.FirstChildElement("catalog"); catalog;
       catalog = catalog->NextSiblingElement("catalog"))
    CheckCatalog(*catalog, state);
}

// Catalogs are optional, but each fault of one fails the theme.
void ThemeValidator::CheckCatalog(const TiXmlElement& catalog, ThemeState* state) {
  CheckIntegers(catalog, kCatalogPlace, state);
  if (!catalog.Attribute("name"))
    state->Clear(Fault(catalog, Kind::AttributesNotFound, "name", "catalog"));
  const char* image = catalog.Attribute("image");
  if (!image)
    state->Clear(Fault(catalog, Kind::AttributesNotFound, "image", "catalog"));
  else if (!Exists(image))
    state->Clear(Fault(catalog, Kind::FileMissing, image, "image"));
}

// An integer is what "%d" reads at the start of the value, so "12px" and
// "-3" pass; a missing attribute and a value without a number both fail,
// and each fails the theme.
void ThemeValidator::CheckIntegers(const TiXmlElement& element, const char* const (&names)[4],
                                   ThemeState* state) {
  for (const char* name : names) {
    int value = 0;
    if (element.QueryIntAttribute(name, &value) != TIXML_SUCCESS)
      state->Clear(Fault(element, Kind::AttributesInvalid, name));
  }
}

RuleFault ThemeValidator::Fault(const TiXmlElement& concerned, Kind kind, const std::string& first,
                                const std::string& second) {
  const RuleFault fault{&concerned, kind, first, second};
  Write(fault);
  return fault;
}

void ThemeValidator::Write(const RuleFault& fault, const std::vector<LocatedNote>& related) {
  const size_t lineStart = m_run.log.Text().size();
  WriteManifestError(fault.kind, m_run.log, fault.first, fault.second);
  if (!m_findings) return;
  // A file missing is a fault of the attribute's value; one missing is the
  // element's.
  ThemeFinding finding{*fault.element,
                       "",
                       {},
                       related,
                       AbsentAttributes(fault),
                       fault.kind == Kind::FileMissing ? fault.second : "",
                       {}};
  if (m_notes) finding.notes = m_notes->Of(fault, &finding.fix);
  Tell(std::move(finding), lineStart);
}

void ThemeValidator::Tell(ThemeFinding finding, size_t lineStart) {
  finding.line = m_run.log.Text().substr(lineStart);
  m_findings(finding);
}

}  // namespace

void ValidateThemes(const RunContext& run, const std::string& sourceFolder,
                    const TiXmlDocument& manifest, std::vector<const TiXmlElement*>* themes,
                    std::vector<bool>* verdicts, const ThemeFindings& findings,
                    const ElementPositions* positions, const BrokenTag* broken) {
  run.log << log_text::kCheckingThemes;
  run.PublishLog();
  const TiXmlElement* root = manifest.FirstChildElement();
  for (const TiXmlElement* theme = root ? root->FirstChildElement("theme") : nullptr; theme;
       theme = theme->NextSiblingElement("theme")) {
    themes->push_back(theme);
    verdicts->push_back(false);
  }
  run.log << log_text::Variations(themes->size());
  run.PublishLog();
  std::unique_ptr<ErrorNotes> notes;
  if (findings) notes = std::make_unique<ErrorNotes>(run, sourceFolder, positions, broken);
  ThemeValidator validator(run, sourceFolder, findings, notes.get());
  for (size_t i = 0; i < themes->size(); ++i) {
    run.log << log_text::Validating(i + 1);
    (*verdicts)[i] = validator.Validate(*(*themes)[i]);
  }
  run.PublishLog();
}

namespace {

// The broken tag's cause, told as the error its echoes are: they follow as
// notes, each with its place, as the log words it.
Diagnostic CauseOf(const BrokenTag& broken, const std::string& path,
                   const std::vector<LocatedNote>& echoes) {
  Diagnostic cause;
  cause.file = path;
  cause.at = broken.at;
  cause.message = broken.cause;
  cause.notes = broken.notes;
  cause.notes.push_back("the builder's parser stops here, and reads nothing more of the '" +
                        std::string(broken.element->Value()) + "' nor of main.xml after it");
  cause.related = broken.related;
  for (LocatedNote& note : cause.related) note.file = path;
  cause.related.insert(cause.related.end(), echoes.begin(), echoes.end());
  return cause;
}

// The findings are reported where their elements stand, once all are in:
// the cause of a broken tag takes the place of its first echo.
bool ReportFindings(const std::string& path,
                    const std::vector<std::pair<ThemeFinding, Diagnostic>>& findings,
                    const BrokenTag* broken, ManifestDiagnostics* diagnostics) {
  std::vector<Diagnostic> errors;
  std::vector<LocatedNote> echoes;
  size_t causeAt = 0;
  for (const auto& [finding, error] : findings) {
    if (!broken || !EchoesBrokenTag(*broken, finding.concerned, finding.absent)) {
      errors.push_back(error);
      continue;
    }
    if (echoes.empty()) causeAt = errors.size();
    echoes.push_back({path, error.at, "hence the log's error: " + error.message});
  }
  if (!echoes.empty()) errors.insert(errors.begin() + causeAt, CauseOf(*broken, path, echoes));
  for (const Diagnostic& error : errors) diagnostics->Report(error);
  return !echoes.empty();
}

}  // namespace

void ValidateThemesReporting(const RunContext& run, const std::string& sourceFolder,
                             const std::string& text, const TiXmlDocument& manifest,
                             std::vector<const TiXmlElement*>* themes, std::vector<bool>* verdicts,
                             ManifestDiagnostics* diagnostics, BrokenTag* told) {
  if (!diagnostics) {
    ValidateThemes(run, sourceFolder, manifest, themes, verdicts);
    return;
  }
  const std::string path = PathInFolder(sourceFolder, "main.xml");
  const ElementPositions positions(text, manifest);
  BrokenTag broken;
  const bool isBroken = FindBrokenTag(text, manifest, positions, &broken);
  std::vector<std::pair<ThemeFinding, Diagnostic>> findings;
  const ThemeFindings collect = [&](const ThemeFinding& finding) {
    Diagnostic error;
    error.file = path;
    error.at = finding.valueOf.empty() ? positions.Of(finding.concerned)
                                       : positions.ValueOf(finding.concerned, finding.valueOf);
    error.message = MessageOfErrorLine(finding.line);
    error.notes = finding.notes;
    error.related = finding.related;
    for (LocatedNote& note : error.related) note.file = path;
    error.fix = finding.fix;
    findings.emplace_back(finding, std::move(error));
  };
  ValidateThemes(run, sourceFolder, manifest, themes, verdicts, collect, &positions,
                 isBroken ? &broken : nullptr);
  if (ReportFindings(path, findings, isBroken ? &broken : nullptr, diagnostics) && told)
    *told = broken;
}

}  // namespace nv
