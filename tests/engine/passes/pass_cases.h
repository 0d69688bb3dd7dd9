#pragma once

// Shared shape of the table-driven pass tests: a line before and after one pass.

#include <ostream>
#include <string>

namespace slimtag::testing {

struct LineCase {
  std::string before;
  std::string after;
};

// The line after one pass.
inline std::string Applied(void (*pass)(std::string&), std::string line) {
  pass(line);
  return line;
}

inline std::ostream& operator<<(std::ostream& out, const LineCase& c) {
  return out << '"' << c.before << "\" -> \"" << c.after << '"';
}

}  // namespace slimtag::testing
