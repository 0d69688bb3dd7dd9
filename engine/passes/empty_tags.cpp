#include "empty_tags.h"

#include <vector>

#include "edit_buffer.h"

namespace slimtag {

namespace {

struct EmptyTagPatterns {
  Pattern join{"></", Encoding::Utf8};
  std::vector<Pattern> rows;
  EmptyTagPatterns() {
    for (const PassRow& row : kEmptyTags) rows.emplace_back(row.needle, Encoding::Utf8);
  }
};

const EmptyTagPatterns& Patterns() {
  static const EmptyTagPatterns patterns;
  return patterns;
}

}  // namespace

void RemoveEmptyTags(std::string& line) {
  const EmptyTagPatterns& patterns = Patterns();
  // Every needle holds "></": a line without it is done after one search instead of four.
  if (patterns.join.Find(line) == Pattern::npos) return;
  for (std::size_t i = 0; i < patterns.rows.size(); ++i) {
    ReplaceAll(line, patterns.rows[i], kEmptyTags[i].replacement);
  }
}

}  // namespace slimtag
