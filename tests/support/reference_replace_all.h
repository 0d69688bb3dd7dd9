#pragma once

// The replace-every-occurrence operation exactly as the edit buffer defines it: search the whole
// text from its first character after every replacement, select the occurrence, replace the
// selection. Slow on purpose; the engine's fast forms are checked against it.

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "text/replace_all.h"

namespace slimtag::testing {

// The text with a selection, as the replacement is defined on it. Positions and lengths count
// bytes: folding keeps byte counts, so a match is always exactly as many bytes as its needle.
class EditBuffer {
 public:
  void PutText(std::string text) { text_ = std::move(text); }
  const std::string& GetText() const { return text_; }
  // Selects length bytes from the 0-based start; the selection is clipped to the text.
  void Select(std::size_t start, std::size_t length) {
    sel_start_ = std::min(start, text_.size());
    sel_length_ = std::min(length, text_.size() - sel_start_);
  }
  // Replaces the selected bytes; the text around them stays as it was.
  void ReplaceSelection(std::string_view replacement) {
    text_.replace(sel_start_, sel_length_, replacement);
    sel_length_ = replacement.size();
  }

 private:
  std::string text_;
  std::size_t sel_start_ = 0;
  std::size_t sel_length_ = 0;
};

// nullopt when more than max_steps repetitions did not reach a text free of the needle, or the
// text grew past max_length.
inline std::optional<std::string> ReferenceReplaceAll(
    std::string_view line, std::string_view needle, std::string_view replacement, Encoding encoding,
    std::size_t max_steps = 20000, std::size_t max_length = 4096) {
  EditBuffer t;
  t.PutText(std::string(line));
  if (FindNoCase(t.GetText(), needle, encoding) == 0) return std::string(line);
  for (std::size_t step = 0; FindNoCase(t.GetText(), needle, encoding) != 0; ++step) {
    if (step == max_steps || t.GetText().size() > max_length) return std::nullopt;
    const std::size_t p = FindNoCase(t.GetText(), needle, encoding);
    t.Select(p - 1, needle.size());
    t.ReplaceSelection(replacement);
  }
  return t.GetText();
}

}  // namespace slimtag::testing
