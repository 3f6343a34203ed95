// The manifest rules for themes, their templates, virtual shelves and
// catalogs, in the order in which a theme's walk meets them.
#include "manifest/validate_themes.h"

#include <tinyxml.h>

#include <cstring>
#include <memory>

#include "manifest/error_notes.h"
#include "manifest/file_exists_in_folder.h"
#include "manifest/manifest_error.h"
#include "manifest/manifest_log_texts.h"

namespace nv {

namespace {

using Kind = ManifestErrorKind;

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
  ThemeWalkFacts facts;  // for the notes of the verdict

  bool Valid() const { return noFault && detailFileFound && shelfBackgroundFound; }
  void Clear(const RuleFault& fault) {
    noFault = false;
    facts.Cleared(fault);
  }
};

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
  bool PassesEntryChecks(const TiXmlElement& theme);
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
  void Tell(const TiXmlElement& concerned, size_t lineStart, std::vector<std::string> notes);

  const RunContext& m_run;
  const std::string& m_folder;
  const ThemeFindings& m_findings;
  ErrorNotes* m_notes;
};

bool ThemeValidator::Validate(const TiXmlElement& theme) {
  if (!PassesEntryChecks(theme)) return false;
  ThemeState state;
  CheckContent(theme, &state);
  if (state.Valid()) {
    m_run.log << log_text::kThemeValid;
    return true;
  }
  const size_t lineStart = m_run.log.Text().size();
  m_run.log << log_text::kThemeInvalid;
  if (m_findings)
    Tell(theme, lineStart,
         m_notes ? m_notes->OfInvalidTheme(theme, state.facts, state.detailFileFound,
                                           state.shelfBackgroundFound)
                 : std::vector<std::string>());
  return false;
}

// A theme that fails one of these is not walked and gets no verdict line.
bool ThemeValidator::PassesEntryChecks(const TiXmlElement& theme) {
  const char* name = theme.Attribute("name");
  const char* screenshot = theme.Attribute("screenshot");
  if (!name || !screenshot) {
    Fault(theme, Kind::AttributesNotFound, "name or screenshot", "theme");
    return false;
  }
  if (std::strlen(name) < 2 || std::strlen(screenshot) < 2) {
    Fault(theme, Kind::AttributesInvalid, "name, screenshot");
    return false;
  }
  if (!Exists(screenshot)) {
    Fault(theme, Kind::FileMissing, screenshot, "screenshot");
    return false;
  }
  return true;
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
  const size_t lineStart = m_run.log.Text().size();
  WriteManifestError(kind, m_run.log, first, second);
  if (m_findings)
    Tell(concerned, lineStart, m_notes ? m_notes->Of(fault) : std::vector<std::string>());
  return fault;
}

void ThemeValidator::Tell(const TiXmlElement& concerned, size_t lineStart,
                          std::vector<std::string> notes) {
  m_findings(ThemeFinding{concerned, m_run.log.Text().substr(lineStart), std::move(notes)});
}

}  // namespace

void ValidateThemes(const RunContext& run, const std::string& sourceFolder,
                    const TiXmlDocument& manifest, std::vector<const TiXmlElement*>* themes,
                    std::vector<bool>* verdicts, const ThemeFindings& findings,
                    const ElementPositions* positions) {
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
  if (findings) notes = std::make_unique<ErrorNotes>(run, sourceFolder, positions);
  ThemeValidator validator(run, sourceFolder, findings, notes.get());
  for (size_t i = 0; i < themes->size(); ++i) {
    run.log << log_text::Validating(i + 1);
    (*verdicts)[i] = validator.Validate(*(*themes)[i]);
  }
  run.PublishLog();
}

// The findings are reported where their elements stand.
void ValidateThemesReporting(const RunContext& run, const std::string& sourceFolder,
                             const std::string& text, const TiXmlDocument& manifest,
                             std::vector<const TiXmlElement*>* themes, std::vector<bool>* verdicts,
                             ManifestDiagnostics* diagnostics) {
  if (!diagnostics) {
    ValidateThemes(run, sourceFolder, manifest, themes, verdicts);
    return;
  }
  const std::string path = JoinPath(sourceFolder, "main.xml");
  const ElementPositions positions(text, manifest);
  const ThemeFindings report = [&](const ThemeFinding& finding) {
    Diagnostic error;
    error.file = path;
    error.at = positions.Of(finding.concerned);
    error.message = MessageOfErrorLine(finding.line);
    error.notes = finding.notes;
    diagnostics->Report(error);
  };
  ValidateThemes(run, sourceFolder, manifest, themes, verdicts, report, &positions);
}

}  // namespace nv
