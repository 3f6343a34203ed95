// The notes of the validation's error lines: for each fault, why the rule
// refused it and what to do, and for a theme found invalid, what it lacked
// or which fault failed it.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "manifest/broken_tag.h"
#include "manifest/diagnostic.h"
#include "manifest/manifest_error.h"
#include "run/run_context.h"
#include "xml/text_position.h"

class TiXmlElement;

namespace nv {

// A fault the rules found: the element and what its error line says, with
// first and second as WriteManifestError takes them.
struct RuleFault {
  const TiXmlElement* element;
  ManifestErrorKind kind;
  std::string first;
  std::string second;
};

// What a theme's walk met, for the notes of its verdict: the first fault of
// each kind that counts against it.
struct ThemeWalkFacts {
  bool templatesMet = false;
  bool detailMet = false;
  bool shelfMet = false;
  std::optional<RuleFault> detailFault;
  std::optional<RuleFault> backgroundFault;
  // Faults that fail the theme whatever else it holds.
  std::optional<RuleFault> clearingFault;
  size_t clearingFaults = 0;
  // Of those after the first, the echoes of a broken tag: one fault, told
  // with its cause.
  size_t echoesAfterFirst = 0;

  void DetailFailed(const RuleFault& fault) {
    if (!detailFault) detailFault = fault;
  }
  void BackgroundFailed(const RuleFault& fault) {
    if (!backgroundFault) backgroundFault = fault;
  }
  void Cleared(const RuleFault& fault, bool echo) {
    if (clearingFault && echo) ++echoesAfterFirst;
    if (!clearingFault) clearingFault = fault;
    ++clearingFaults;
  }
};

// The attributes that the fault's line calls missing and the element lacks.
std::vector<std::string> AbsentAttributes(const RuleFault& fault);

class ErrorNotes {
 public:
  // Places are named by `positions` when given, else by the parser's count;
  // a fault that echoes `broken` (may be null) is told as its echo.
  ErrorNotes(const RunContext& run, const std::string& folder, const ElementPositions* positions,
             const BrokenTag* broken = nullptr);
  ~ErrorNotes();

  // The notes of a fault's line; the first "did you mean" among them is
  // put in *fix (may be null), for an editor to apply.
  std::vector<std::string> Of(const RuleFault& fault, NameFix* fix = nullptr);
  // The notes of "Theme is invalid.", given which of the rule's needs the
  // theme met, and the first "did you mean" of them in *fix (may be null).
  std::vector<std::string> OfInvalidTheme(const TiXmlElement& theme, const ThemeWalkFacts& facts,
                                          bool detailFound, bool backgroundFound,
                                          NameFix* fix = nullptr);
  // Where the element stands, or the value of its attribute `valueOf`.
  TextPosition PlaceOf(const TiXmlElement& element, const std::string& valueOf = "") const;
  // "LINE:COLUMN" of the element.
  std::string Place(const TiXmlElement& element) const;
  // Whether the fault is an echo of the broken tag the parser stopped in.
  bool Echoes(const RuleFault& fault) const;

 private:
  std::vector<std::string> OfMissingAttributes(const TiXmlElement& element,
                                               const std::vector<std::string>& names, NameFix* fix);
  std::vector<std::string> OfShortValues(const TiXmlElement& element,
                                         const std::vector<std::string>& names);
  std::vector<std::string> OfInteger(const TiXmlElement& element, const std::string& name,
                                     NameFix* fix);
  std::vector<std::string> OfMissingFile(const std::string& name, const std::string& attribute,
                                         NameFix* fix);
  std::string NearFile(const std::string& name);
  std::string Describe(const RuleFault& fault) const;
  std::string StoppedInside(const TiXmlElement& theme) const;
  const std::vector<std::string>& FolderNames();

  const RunContext& m_run;
  const std::string& m_folder;
  const ElementPositions* m_positions;
  const BrokenTag* m_broken;
  // The folder's names, listed once, when a missing file first asks.
  std::unique_ptr<std::vector<std::string>> m_names;
};

}  // namespace nv
