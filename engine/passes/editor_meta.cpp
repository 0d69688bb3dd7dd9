// Built for each instruction set of pass_isa.h.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "passes/editor_meta.cpp"
#include "pass_isa.h"

#include <hwy/foreach_target.h>  // IWYU pragma: keep

#include <optional>

#include "editor_meta.h"
#include "in_place_rewrite.h"
#include "text/html_attributes.h"
#include "text/text_compare.h"

HWY_BEFORE_NAMESPACE();
namespace slimtag {
namespace HWY_NAMESPACE {

namespace {

bool IsEditorName(std::string_view value) {
  for (std::string_view name : kEditorMetaNames) {
    if (EqualAsciiNoCase(value, name)) return true;
  }
  return false;
}

// Whether the attributes of a meta tag (the text between "<meta" and its ">") name an editor's
// tag. The first name attribute counts, as in HTML. A quoted value that does not close anywhere in
// the tag leaves it alone: its ">" may belong to the value, and the tag may go on further.
bool NamesEditor(std::string_view attributes) {
  std::optional<bool> named;
  const bool complete = ReadHtmlAttributes(attributes, [&named](const HtmlAttribute& attribute) {
    if (!named && EqualAsciiNoCase(attribute.name, "name")) named = IsEditorName(attribute.value);
    return true;
  });
  return complete && named.value_or(false);
}

// The first "<meta" at or after from, letter case ignored; npos when there is none.
std::size_t FindOpening(std::string_view text, std::size_t from) {
  for (std::size_t pos = from;
       (pos = scan::FindTrigger(text, pos, kMetaTrigger)) != std::string_view::npos; ++pos) {
    if (EqualAsciiNoCase(text.substr(pos, kMetaOpening.size()), kMetaOpening)) return pos;
  }
  return std::string_view::npos;
}

// The first bracket or line end at or after from; npos where there is none. A loop of its own:
// find_first_of looks each byte up in the set with a call of memchr.
template <bool kLfEndsLines>
std::size_t BracketOrLineEnd(std::string_view text, std::size_t from) {
  for (; from < text.size(); ++from) {
    const char c = text[from];
    if (c == '<' || c == '>' || c == '\r' || (kLfEndsLines && c == '\n')) return from;
  }
  return std::string_view::npos;
}

// A tag runs from "<meta" to the next ">" and holds no other bracket. Tags therefore never
// overlap, and the line is read once whatever it holds. A bracket inside a quoted value leaves that
// tag alone: no editor writes one, and keeping a tag is always safe.
// In place: the pass only deletes, so the kept text moves down, never past what is still to be
// read. A tag goes no further than a line's end, where the pass takes a text of whole lines: a CR,
// and with kLfEndsLines a LF.
template <bool kLfEndsLines>
void RemoveMetaTags(std::string& line) {
  const std::string_view text = line;
  InPlaceRewrite rewrite(line);
  for (std::size_t pos = FindOpening(text, 0); pos != std::string_view::npos;) {
    const std::size_t after = pos + kMetaOpening.size();
    const std::size_t bracket = BracketOrLineEnd<kLfEndsLines>(text, after);
    if (bracket == std::string_view::npos) break;
    // "<metadata>" is another tag: the name must end at a blank, "/" or ">".
    const bool tag_name_ends = IsHtmlSpace(text[after]) || text[after] == '/' || text[after] == '>';
    if (text[bracket] == '>' && tag_name_ends && NamesEditor(text.substr(after, bracket - after))) {
      rewrite.KeepUpTo(pos);
      rewrite.SkipTo(bracket + 1);
    }
    pos = FindOpening(text, text[bracket] == '>' ? bracket + 1 : bracket);
  }
  rewrite.Finish();
}

}  // namespace

void RemoveEditorMetaTags(std::string& line) {
  RemoveMetaTags<false>(line);
}

void RemoveEditorMetaTagsInLfLines(std::string& text) {
  RemoveMetaTags<true>(text);
}

}  // namespace HWY_NAMESPACE
}  // namespace slimtag
HWY_AFTER_NAMESPACE();
