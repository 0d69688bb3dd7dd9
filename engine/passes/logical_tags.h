#pragma once

#include <string>

#include "byte_scan.h"
#include "pass_isa.h"
#include "pass_row.h"

namespace slimtag {
inline namespace SLIMTAG_PASS_ISA {

// Check10: the bare tags of ten logical elements become shorter plain tags, inserted in small
// letters whatever the case of the needle.
inline constexpr PassRow kLogicalTags[] = {
    {"<address>", "<i>"},       {"</address>", "</i>"}, {"<strong>", "<b>"},
    {"</strong>", "</b>"},      {"<em>", "<i>"},        {"</em>", "</i>"},
    {"<strike>", "<s>"},        {"</strike>", "</s>"},  {"<BLOCKQUOTE>", "<ul>"},
    {"</BLOCKQUOTE>", "</ul>"}, {"<CITE>", "<i>"},      {"</CITE>", "</i>"},
    {"<CODE>", "<tt>"},         {"</CODE>", "</tt>"},   {"<KBD>", "<tt>"},
    {"</KBD>", "</tt>"},        {"<SAMP>", "<tt>"},     {"</SAMP>", "</tt>"},
    {"<VAR>", "<i>"},           {"</VAR>", "</i>"},
};

// Every needle opens with "<".
inline constexpr auto kLogicalTagTrigger = [](const scan::Window& w) { return w.at0 == '<'; };

// All rows in one sweep over the line.
void ReplaceLogicalTags(std::string& line);

}  // namespace SLIMTAG_PASS_ISA
}  // namespace slimtag
