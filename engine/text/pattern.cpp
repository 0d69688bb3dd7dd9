#include "pattern.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstring>

namespace slimtag {

// Symbols are mapped to classes (1..k for the needle's distinct symbols, 0 for every other) so
// that the transition table has Size() rows of k + 1 entries. A needle so long that the table
// would be huge falls back to the failure function of Knuth-Morris-Pratt, which gives the same
// states at a higher cost per step.
struct Pattern::Automaton {
  std::array<std::uint16_t, kSymbolCount> class_of{};
  std::vector<std::uint16_t> classes;  // class of each needle symbol
  std::size_t width = 0;               // classes + 1
  std::vector<State> table;            // Size() rows; empty when the fallback is used
  std::vector<State> failure;          // KMP failure function, used by the fallback
};

namespace {

// The table is kept under 4 MB; a longer needle with many distinct symbols uses the fallback.
constexpr std::size_t kMaxTableEntries = std::size_t(1) << 20;

// How rarely an ASCII byte stands in a page, roughly, letter case folded: blanks, markup and the
// frequent letters are listed first. Find looks for the needle's rarest byte.
constexpr int Rarity(unsigned char c) {
  constexpr std::string_view kByFrequency =
      " e<>t\"=a/os:\n\r\tinrlcdp.hmu-f_gy,w#b;v&k0x12()345j6789z'q!?%+*[]{}|~^$@`\\";
  const char folded = AsciiLower(static_cast<char>(c));
  const std::size_t rank = kByFrequency.find(folded);
  // Bytes not listed (other control characters) are rarer still.
  return rank == std::string_view::npos ? static_cast<int>(kByFrequency.size())
                                        : static_cast<int>(rank);
}

}  // namespace

Pattern::Pattern(std::string_view needle, Encoding encoding)
    : needle_(needle), encoding_(encoding) {
  assert(!needle_.empty());
  for (unsigned char c : needle_) {
    if (c >= 0x80) ascii_only_ = false;
  }
  symbols_.resize(needle_.size());
  for (std::size_t i = 0; i < needle_.size(); ++i) symbols_[i] = SymbolAt(encoding_, needle_, i);

  // The anchor: the needle's rarest ASCII byte (whose matching text bytes are itself and its
  // other letter case, in every encoding), else its first byte.
  int rarest = -1;
  for (std::size_t i = 0; i < needle_.size(); ++i) {
    const auto byte = static_cast<unsigned char>(needle_[i]);
    if (byte < 0x80 && Rarity(byte) > rarest) {
      rarest = Rarity(byte);
      anchor_ = i;
    }
  }
  // Every byte whose symbol can equal the anchor's: at most the two case forms.
  for (int b = 0; b < 256 && anchor_count_ < 2; ++b) {
    const auto byte = static_cast<unsigned char>(b);
    const Symbol s = encoding_ == Encoding::Utf8
                         ? Utf8Symbol(byte, 0)
                         : Symbol(kCodePageFolds[CodePageIndex(encoding_)][byte]);
    if (s == symbols_[anchor_]) anchor_bytes_[anchor_count_++] = byte;
  }
  // Built here, not on first need: the passes' fixed patterns are shared by the threads that run
  // them.
  automaton_ = BuildAutomaton();
}

Pattern::~Pattern() = default;
Pattern::Pattern(Pattern&&) noexcept = default;
Pattern& Pattern::operator=(Pattern&&) noexcept = default;

bool Pattern::MatchesAt(std::string_view text, std::size_t pos) const {
  const std::size_t n = needle_.size();
  if (pos > text.size() || text.size() - pos < n) return false;
  const auto* t = reinterpret_cast<const unsigned char*>(text.data()) + pos;
  if (ascii_only_) {
    // A needle of ASCII bytes compares the same in every encoding: only A-Z fold, and a byte
    // >= 0x80 in the text never equals one of the needle's.
    const auto* s = reinterpret_cast<const unsigned char*>(needle_.data());
    for (std::size_t k = 0; k < n; ++k) {
      if (kAsciiFold[t[k]] != kAsciiFold[s[k]]) return false;
    }
    return true;
  }
  for (std::size_t k = 0; k < n; ++k) {
    if (SymbolAt(encoding_, text, pos + k) != symbols_[k]) return false;
  }
  return true;
}

std::size_t Pattern::NextAnchor(const char* data, std::size_t pos, std::size_t end) const {
  const auto at = [data](const void* hit) {
    return static_cast<std::size_t>(static_cast<const char*>(hit) - data);
  };
  if (anchor_count_ == 1) {
    const void* hit = std::memchr(data + pos, anchor_bytes_[0], end - pos);
    return hit ? at(hit) : npos;
  }
  // Two bytes: windows that double, so that a byte that never shows costs no more than the
  // distance to the other one.
  for (std::size_t window = 64; pos < end; window *= 2) {
    const std::size_t stop = std::min(end, pos + window);
    const void* first = std::memchr(data + pos, anchor_bytes_[0], stop - pos);
    const std::size_t limit = first ? at(first) : stop;
    const void* second = std::memchr(data + pos, anchor_bytes_[1], limit - pos);
    if (second) return at(second);
    if (first) return at(first);
    pos = stop;
  }
  return npos;
}

std::size_t Pattern::Find(std::string_view text, std::size_t from) const {
  const std::size_t n = needle_.size();
  if (text.size() < n || from > text.size() - n) return npos;
  const std::size_t last = text.size() - n;  // the last position a match can start at
  std::size_t failed_work = 0;
  for (std::size_t start = from; start <= last;) {
    const std::size_t hit = NextAnchor(text.data(), start + anchor_, last + anchor_ + 1);
    if (hit == npos) return npos;
    const std::size_t candidate = hit - anchor_;
    if (MatchesAt(text, candidate)) return candidate;
    start = candidate + 1;
    failed_work += n;
    if (failed_work > 2 * (start - from) + 2 * n) return FindByAutomaton(text, start);
  }
  return npos;
}

std::size_t Pattern::FindByAutomaton(std::string_view text, std::size_t from) const {
  const std::size_t n = needle_.size();
  // The state after text[from, p) counts only matches that start at from or later.
  State state = 0;
  for (std::size_t p = from; p < text.size(); ++p) {
    state = Step(state, text, p);
    if (state == n) return p + 1 - n;
  }
  return npos;
}

std::unique_ptr<Pattern::Automaton> Pattern::BuildAutomaton() const {
  auto a = std::make_unique<Automaton>();
  const std::size_t n = symbols_.size();
  std::uint16_t count = 0;
  a->classes.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    auto& c = a->class_of[symbols_[i]];
    if (c == 0) c = ++count;
    a->classes[i] = c;
  }
  a->width = std::size_t(count) + 1;
  // Failure function over classes (equal classes mean equal symbols).
  a->failure.assign(n + 1, 0);
  for (std::size_t i = 1, k = 0; i < n; ++i) {
    while (k > 0 && a->classes[i] != a->classes[k]) k = a->failure[k];
    if (a->classes[i] == a->classes[k]) ++k;
    a->failure[i + 1] = static_cast<State>(k);
  }
  if (n * a->width <= kMaxTableEntries) {
    a->table.assign(n * a->width, 0);
    a->table[a->classes[0]] = 1;
    std::size_t x = 0;  // the state the automaton would be in after needle[1, s)
    for (std::size_t s = 1; s < n; ++s) {
      std::memcpy(&a->table[s * a->width], &a->table[x * a->width], a->width * sizeof(State));
      a->table[s * a->width + a->classes[s]] = static_cast<State>(s + 1);
      x = a->table[x * a->width + a->classes[s]];
    }
  }
  return a;
}

Pattern::State Pattern::Step(State state, std::string_view text, std::size_t pos) const {
  const Automaton& a = GetAutomaton();
  const std::uint16_t c = a.class_of[SymbolAt(encoding_, text, pos)];
  if (!a.table.empty()) return a.table[state * a.width + c];
  std::size_t k = state;
  while (k > 0 && (c == 0 || a.classes[k] != c)) k = a.failure[k];
  if (c != 0 && a.classes[k] == c) ++k;
  return static_cast<State>(k);
}

Pattern::State Pattern::StateAt(std::string_view text, std::size_t end) const {
  const std::size_t window = needle_.size() - 1;
  State state = 0;
  for (std::size_t i = end > window ? end - window : 0; i < end; ++i) state = Step(state, text, i);
  return state;
}

}  // namespace slimtag
