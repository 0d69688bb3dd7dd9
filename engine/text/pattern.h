#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "text_compare.h"

namespace slimtag {

// A needle prepared for letter-case-blind search in one encoding: its comparison symbols, the
// needle's rarest byte with the text bytes that match it, and the matching automaton that the
// replace-every-occurrence operation steps through byte by byte.
//
// Find looks for the rare byte with memchr and checks each place it shows. Checks that keep failing
// (a long needle made of one repeated piece, on a text of the same piece) would cost the needle's
// length at every byte, so after more failed work than the text searched and twice the needle,
// the rest of the search is done by the automaton, one step per byte: Find is linear always.
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
  // The same with the automaton alone: one step per byte of the text from from on.
  std::size_t FindByAutomaton(std::string_view text, std::size_t from = 0) const;
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
  std::unique_ptr<Automaton> BuildAutomaton() const;
  const Automaton& GetAutomaton() const { return *automaton_; }
  // The first place in [pos, end) of an anchor byte, or npos.
  std::size_t NextAnchor(const char* data, std::size_t pos, std::size_t end) const;

  std::string needle_;
  Encoding encoding_;
  bool ascii_only_ = true;
  std::vector<Symbol> symbols_;
  // The needle's byte that Find looks for, at anchor_, and the text bytes that match it.
  std::size_t anchor_ = 0;
  unsigned char anchor_bytes_[2] = {0, 0};
  int anchor_count_ = 0;
  std::unique_ptr<Automaton> automaton_;
};

}  // namespace slimtag
