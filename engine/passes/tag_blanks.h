#pragma once

#include <string>
#include <string_view>

#include "byte_scan.h"
#include "pass_isa.h"

namespace slimtag {
inline namespace SLIMTAG_PASS_ISA {

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

// Where a run of blanks that the steps edit shows: "< ", " >", ">  " or "  <". Every edited run
// holds one of these, and every one of these lies in or beside an edited run.
inline constexpr auto kEditedRunTrigger = [](const scan::Window& w) {
  const scan::Bytes blank0 = w.at0 == ' ', blank1 = w.at1 == ' ', blank2 = w.at2 == ' ';
  return ((w.at0 == '<') & blank1) | (blank0 & (w.at1 == '>')) |
         ((w.at0 == '>') & blank1 & blank2) | (blank0 & blank1 & (w.at2 == '<'));
};

// How many blanks of a maximal run of length run the four steps keep, given the characters beside
// it ('\0' at the ends of the line; any byte but a bracket stands for them).
inline std::size_t KeptTagBlanks(char before, char after, std::size_t run) {
  if (before == '<' || after == '>') return 0;
  if (before == '>' || after == '<') return 1;
  return run;
}

// The four steps in one sweep over the line.
void RemoveTagBlanks(std::string& line);

}  // namespace SLIMTAG_PASS_ISA
}  // namespace slimtag
