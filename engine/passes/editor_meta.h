#ifndef SLIMTAG_PASSES_EDITOR_META_H_
#define SLIMTAG_PASSES_EDITOR_META_H_

#include <string>
#include <string_view>

namespace slimtag {

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

// Deletes each complete <meta …> tag of the line whose name is an editor's; the rest of the line
// stays. A tag that does not close on this line is left alone: a CR ends the line, where the pass
// takes a text of whole lines; in RemoveEditorMetaTagsInLfLines a LF does too. By the best build
// that the processor runs.
void RemoveEditorMetaTags(std::string& line);
void RemoveEditorMetaTagsInLfLines(std::string& text);

}  // namespace slimtag

#endif  // SLIMTAG_PASSES_EDITOR_META_H_

// The trigger and the pass of one build, once for each instruction set of the unit (byte_scan.h).
#if defined(SLIMTAG_PASSES_EDITOR_META_TARGET_) == defined(HWY_TARGET_TOGGLE)
#ifdef SLIMTAG_PASSES_EDITOR_META_TARGET_
#undef SLIMTAG_PASSES_EDITOR_META_TARGET_
#else
#define SLIMTAG_PASSES_EDITOR_META_TARGET_
#endif

#include "byte_scan.h"

HWY_BEFORE_NAMESPACE();
namespace slimtag {
namespace HWY_NAMESPACE {

// "<m" in either case: where a meta tag may open.
inline constexpr auto kMetaTrigger = [](const scan::Window& w) {
  return (w.at0 == kMetaOpening[0]) & (w.at1.LowerAscii() == kMetaOpening[1]);
};

void RemoveEditorMetaTags(std::string& line);
void RemoveEditorMetaTagsInLfLines(std::string& text);

}  // namespace HWY_NAMESPACE
}  // namespace slimtag
HWY_AFTER_NAMESPACE();

#endif  // SLIMTAG_PASSES_EDITOR_META_TARGET_
