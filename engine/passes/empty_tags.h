#pragma once

#include <string>

#include "byte_scan.h"
#include "pass_isa.h"
#include "pass_row.h"

namespace slimtag {
inline namespace SLIMTAG_PASS_ISA {

// Check9: four kinds of empty element, each an opening tag directly followed by its closing tag,
// deleted row after row. A row that has finished is not run again when a later row forms its
// needle: "<p><center></center></p>" keeps "<p></p>".
inline constexpr PassRow kEmptyTags[] = {
    {"<p></p>", ""},
    {"<center></center>", ""},
    {"<left></left>", ""},
    {"<right></right>", ""},
};

// "></" and the first letter of a closing tag of the table, in either case.
inline constexpr std::string_view kEmptyTagJoin = "></";
inline constexpr std::string_view kClosingTagLetters = "pclr";
inline constexpr auto kEmptyTagTrigger = [](const scan::Window& w) {
  const scan::Bytes letter = w.at3.LowerAscii();
  return (w.at0 == kEmptyTagJoin[0]) & (w.at1 == kEmptyTagJoin[1]) & (w.at2 == kEmptyTagJoin[2]) &
         ((letter == kClosingTagLetters[0]) | (letter == kClosingTagLetters[1]) |
          (letter == kClosingTagLetters[2]) | (letter == kClosingTagLetters[3]));
};

void RemoveEmptyTags(std::string& line);

}  // namespace SLIMTAG_PASS_ISA
}  // namespace slimtag
