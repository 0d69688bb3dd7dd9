#include "tag_blanks.h"

#include <cstring>

namespace slimtag {

// Every step edits whole runs of blanks and never joins two runs, because what stands on either
// side of a run is not a blank. So each maximal run of the line meets the steps on its own, and
// its fate follows from the characters before and after it:
//   after "<" (step 1) or before ">" (step 2): the whole run goes;
//   otherwise after ">" (step 3) or before "<" (step 4): a run of two or more shrinks to one blank
//   (each repetition deletes a blank of a run of two or more; a single blank is left alone);
//   anywhere else the run stays.
// Step 1 has taken every run after "<" before step 2 looks, and step 3 has shortened a run after
// ">" to one blank before step 4 looks, so the rules above give the line of the four steps.
namespace {

// How many blanks of a run of length run stay, given the characters beside it ('\0' at the ends).
std::size_t KeptBlanks(char before, char after, std::size_t run) {
  if (before == '<' || after == '>') return 0;
  if (before == '>' || after == '<') return 1;
  return run;
}

}  // namespace

void RemoveTagBlanks(std::string& line) {
  const std::size_t n = line.size();
  char* text = line.data();
  // Most lines have no run to edit: find the first one before writing anything.
  std::size_t in = 0;
  for (;;) {
    const void* hit = in < n ? std::memchr(text + in, ' ', n - in) : nullptr;
    if (hit == nullptr) return;
    const auto start = static_cast<std::size_t>(static_cast<const char*>(hit) - text);
    in = start;
    while (in < n && text[in] == ' ') ++in;
    const char before = start > 0 ? text[start - 1] : '\0';
    const char after = in < n ? text[in] : '\0';
    if (KeptBlanks(before, after, in - start) != in - start) {
      in = start;
      break;
    }
  }

  // Rewritten in place: the write position never passes the read position. The character before
  // a run is never a blank and is copied unchanged, so it is the last one written.
  std::size_t out = in;
  while (in < n) {
    if (text[in] != ' ') {
      text[out++] = text[in++];
      continue;
    }
    const std::size_t start = in;
    while (in < n && text[in] == ' ') ++in;
    const char before = out > 0 ? text[out - 1] : '\0';
    const char after = in < n ? text[in] : '\0';
    const std::size_t keep = KeptBlanks(before, after, in - start);
    std::memset(text + out, ' ', keep);
    out += keep;
  }
  line.resize(out);
}

}  // namespace slimtag
