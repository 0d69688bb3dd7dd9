#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "text_compare.h"

namespace slimtag {

// A needle prepared for letter-case-blind search in one encoding: its comparison symbols, the
// bytes a match can start with, and (built on first need) the matching automaton that the
// replace-every-occurrence operation steps through byte by byte.
class Pattern {
 public:
  static constexpr std::size_t npos = std::string_view::npos;

  // The needle must not be empty; in UTF-8 it must be valid UTF-8.
  Pattern(std::string_view needle, Encoding encoding);
  ~Pattern();
  Pattern(Pattern&&) noexcept;
  Pattern& operator=(Pattern&&) noexcept;

  std::string_view Needle() const { return needle_; }
  std::size_t Size() const { return needle_.size(); }
  Encoding GetEncoding() const { return encoding_; }

  // The first occurrence that starts at or after from, or npos.
  std::size_t Find(std::string_view text, std::size_t from = 0) const;
  bool MatchesAt(std::string_view text, std::size_t pos) const;

  // Automaton: the state is the length of the longest suffix of the text read so far that is a
  // prefix of the needle; Size() means a whole occurrence has just been read.
  using State = std::uint32_t;
  State Step(State state, std::string_view text, std::size_t pos) const;
  // The state after text[0, end), worked out from the last Size() - 1 bytes alone; valid when no
  // occurrence ends inside that window.
  State StateAt(std::string_view text, std::size_t end) const;

 private:
  struct Automaton;
  const Automaton& GetAutomaton() const;

  std::string needle_;
  Encoding encoding_;
  bool ascii_only_ = true;
  std::vector<Symbol> symbols_;
  unsigned char first_[2] = {0, 0};
  int first_count_ = 0;
  mutable std::unique_ptr<Automaton> automaton_;
};

}  // namespace slimtag
