#pragma once

// Shared shape of the table-driven pass tests: a line before and after one pass.

#include <cctype>
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

// A test name made of the letters and digits of a description.
inline std::string TestName(const char* description) {
  std::string name;
  for (const char* p = description; *p != '\0'; ++p) {
    if (std::isalnum(static_cast<unsigned char>(*p))) name += *p;
  }
  return name;
}

inline std::ostream& operator<<(std::ostream& out, const LineCase& c) {
  return out << '"' << c.before << "\" -> \"" << c.after << '"';
}

}  // namespace slimtag::testing
