#pragma once

// The replace-every-occurrence operation exactly as the edit buffer defines it: search the whole
// text from its first character after every replacement, select the occurrence, replace the
// selection. Slow on purpose; the engine's fast forms are checked against it.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "edit_buffer.h"

namespace slimtag::testing {

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
