#include "line_end_blanks.h"

namespace slimtag {
inline namespace SLIMTAG_PASS_ISA {

void RemoveLeadingBlanks(std::string& line) {
  const std::size_t first = line.find_first_not_of(' ');
  line.erase(0, first == std::string::npos ? line.size() : first);
}

void RemoveTrailingBlanks(std::string& line) {
  const std::size_t last = line.find_last_not_of(' ');
  line.erase(last == std::string::npos ? 0 : last + 1);
}

}  // namespace SLIMTAG_PASS_ISA
}  // namespace slimtag
