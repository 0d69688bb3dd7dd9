#pragma once

// The passes in their plain form: the table rows one after another through the plain
// replace-every-occurrence operation, and the blank steps as simple repetitions. The engine's
// one-sweep forms are checked against these.

#include <span>
#include <string>
#include <string_view>

#include "passes/pass_row.h"
#include "reference_replace_all.h"

namespace slimtag::testing {

inline std::string ReferenceRows(std::string line, std::span<const PassRow> rows,
                                 Encoding encoding = Encoding::Utf8) {
  for (const PassRow& row : rows) {
    // Every table row shortens the text it edits, so the repetition always ends.
    line = ReferenceReplaceAll(line, row.needle, row.replacement, encoding, 1u << 20,
                               std::string::npos)
               .value();
  }
  return line;
}

// Steps 3 and 4 act on a line holding "> " (" <") and delete, while ">  " ("  <") is there, one
// blank of the first such run.
inline std::string ReferenceTagBlanks(std::string line) {
  line = ReferenceRows(line, std::initializer_list<PassRow>{{"< ", "<"}, {" >", ">"}});
  if (line.find("> ") != std::string::npos) {
    for (std::size_t at; (at = line.find(">  ")) != std::string::npos;) line.erase(at + 1, 1);
  }
  if (line.find(" <") != std::string::npos) {
    for (std::size_t at; (at = line.find("  <")) != std::string::npos;) line.erase(at, 1);
  }
  return line;
}

}  // namespace slimtag::testing
