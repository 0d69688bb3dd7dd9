#pragma once

#include <string>
#include <string_view>

#include "byte_scan.h"
#include "pass_isa.h"

namespace slimtag {
inline namespace SLIMTAG_PASS_ISA {

// Check4: the meta tags with which HTML editors sign their pages, such as
// <meta name="GENERATOR" content="Microsoft FrontPage 4.0">. A tag goes when its name attribute
// holds one of these values, letter case ignored.
inline constexpr std::string_view kEditorMetaNames[] = {
    "generator",
    "progid",
    "originator",
    "publisher",
};

inline constexpr std::string_view kMetaOpening = "<meta";

// "<m" in either case: where a meta tag may open.
inline constexpr auto kMetaTrigger = [](const scan::Window& w) {
  return (w.at0 == kMetaOpening[0]) & (w.at1.LowerAscii() == kMetaOpening[1]);
};

// Deletes each complete <meta …> tag of the line whose name is an editor's; the rest of the line
// stays. A tag that does not close on this line is left alone: a CR ends the line, where the pass
// takes a text of whole lines; in RemoveEditorMetaTagsInLfLines a LF does too.
void RemoveEditorMetaTags(std::string& line);
void RemoveEditorMetaTagsInLfLines(std::string& text);

}  // namespace SLIMTAG_PASS_ISA
}  // namespace slimtag
