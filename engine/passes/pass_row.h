#pragma once

#include <string_view>

namespace slimtag {

// One row of a pass table: every occurrence of the needle (letter case ignored) becomes the
// replacement, which is inserted exactly as written.
struct PassRow {
  std::string_view needle;
  std::string_view replacement;
};

}  // namespace slimtag
