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

// Every needle holds "></", which the line survey looks for.
inline constexpr std::string_view kEmptyTagJoin = "></";

// The first four bytes of each needle, in small letters: every occurrence starts with its row's,
// in either case. A tag's opening is far rarer in pages than "></" and a letter.
inline constexpr std::string_view kEmptyTagHeads[] = {"<p><", "<cen", "<lef", "<rig"};
inline constexpr auto kEmptyTagTrigger = [](const scan::Window& w) {
  const scan::Bytes at1 = w.at1.LowerAscii(), at2 = w.at2.LowerAscii(), at3 = w.at3.LowerAscii();
  constexpr auto& h = kEmptyTagHeads;
  return (w.at0 == '<') & (((at1 == h[0][1]) & (at2 == h[0][2]) & (at3 == h[0][3])) |
                           ((at1 == h[1][1]) & (at2 == h[1][2]) & (at3 == h[1][3])) |
                           ((at1 == h[2][1]) & (at2 == h[2][2]) & (at3 == h[2][3])) |
                           ((at1 == h[3][1]) & (at2 == h[3][2]) & (at3 == h[3][3])));
};

void RemoveEmptyTags(std::string& line);

}  // namespace SLIMTAG_PASS_ISA
}  // namespace slimtag
