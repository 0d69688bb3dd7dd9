#ifndef SLIMTAG_PASSES_TAG_BLANKS_H_
#define SLIMTAG_PASSES_TAG_BLANKS_H_

#include <string>
#include <string_view>

namespace slimtag {

// Check8: blanks beside the tag brackets, in four steps. Each edit turns the needle (a bracket and
// one blank) into the bracket alone. Steps 1 and 2 repeat while their needle is in the line; steps
// 3 and 4 act only on a line that holds their needle and repeat while it holds their governing
// text, so a single blank after ">" or before "<" stays.
struct TagBlankStep {
  std::string_view needle;
  std::string_view replacement;
  std::string_view governing;
};

inline constexpr TagBlankStep kTagBlankSteps[] = {
    {"< ", "<", "< "},
    {" >", ">", " >"},
    {"> ", ">", ">  "},
    {" <", "<", "  <"},
};

// How many blanks of a maximal run of length run the four steps keep, given the characters beside
// it ('\0' at the ends of the line; any byte but a bracket stands for them).
inline std::size_t KeptTagBlanks(char before, char after, std::size_t run) {
  if (before == '<' || after == '>') return 0;
  if (before == '>' || after == '<') return 1;
  return run;
}

// The four steps in one sweep over the line, by the best build that the processor runs.
void RemoveTagBlanks(std::string& line);

}  // namespace slimtag

#endif  // SLIMTAG_PASSES_TAG_BLANKS_H_

// The trigger and the pass of one build, once for each instruction set of the unit (byte_scan.h).
#if defined(SLIMTAG_PASSES_TAG_BLANKS_TARGET_) == defined(HWY_TARGET_TOGGLE)
#ifdef SLIMTAG_PASSES_TAG_BLANKS_TARGET_
#undef SLIMTAG_PASSES_TAG_BLANKS_TARGET_
#else
#define SLIMTAG_PASSES_TAG_BLANKS_TARGET_
#endif

#include "byte_scan.h"

HWY_BEFORE_NAMESPACE();
namespace slimtag {
namespace HWY_NAMESPACE {

// Where a run of blanks that the steps edit shows: "< ", " >", ">  " or "  <". Every edited run
// holds one of these, and every one of these lies in or beside an edited run.
inline constexpr auto kEditedRunTrigger = [](const scan::Window& w) {
  const scan::Bytes blank0 = w.at0 == ' ', blank1 = w.at1 == ' ', blank2 = w.at2 == ' ';
  return ((w.at0 == '<') & blank1) | (blank0 & (w.at1 == '>')) |
         ((w.at0 == '>') & blank1 & blank2) | (blank0 & blank1 & (w.at2 == '<'));
};

void RemoveTagBlanks(std::string& line);

}  // namespace HWY_NAMESPACE
}  // namespace slimtag
HWY_AFTER_NAMESPACE();

#endif  // SLIMTAG_PASSES_TAG_BLANKS_TARGET_
