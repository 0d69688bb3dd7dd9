#pragma once

#include <functional>
#include <string_view>

namespace slimtag {

// White space between attributes, as HTML counts it.
bool IsHtmlSpace(char c);

struct HtmlAttribute {
  std::string_view name;
  std::string_view value;  // empty for an attribute without "="
};

// Reads the attributes of one tag (the text between its name and its ">") in order, as HTML reads
// them, calling visit for each until it returns false. Returns false when a quoted value does not
// close before the end of the text (nothing is read past its quote), true otherwise.
bool ReadHtmlAttributes(std::string_view text,
                        const std::function<bool(const HtmlAttribute&)>& visit);

}  // namespace slimtag
