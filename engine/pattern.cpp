#include "pattern.h"

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
constexpr std::size_t kMaxTableEntries = std::size_t(1) << 22;
}

Pattern::Pattern(std::string_view needle, Encoding encoding)
    : needle_(needle), encoding_(encoding) {
  assert(!needle_.empty());
  for (unsigned char c : needle_) {
    if (c >= 0x80) ascii_only_ = false;
  }
  symbols_.resize(needle_.size());
  for (std::size_t i = 0; i < needle_.size(); ++i) symbols_[i] = SymbolAt(encoding_, needle_, i);

  // Every byte whose symbol can equal the needle's first symbol: at most the two case forms.
  for (int b = 0; b < 256 && first_count_ < 2; ++b) {
    const auto byte = static_cast<unsigned char>(b);
    const Symbol s =
        encoding_ == Encoding::Windows1251 ? Symbol(kWindows1251Fold[byte]) : Utf8Symbol(byte, 0);
    if (s == symbols_[0]) first_[first_count_++] = byte;
  }
}

Pattern::~Pattern() = default;
Pattern::Pattern(Pattern&&) noexcept = default;
Pattern& Pattern::operator=(Pattern&&) noexcept = default;

bool Pattern::MatchesAt(std::string_view text, std::size_t pos) const {
  const std::size_t n = needle_.size();
  if (pos > text.size() || text.size() - pos < n) return false;
  const auto* t = reinterpret_cast<const unsigned char*>(text.data()) + pos;
  if (ascii_only_) {
    // A needle of ASCII bytes compares the same in both encodings: only A-Z fold, and a byte
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

std::size_t Pattern::Find(std::string_view text, std::size_t from) const {
  const std::size_t n = needle_.size();
  if (text.size() < n || from > text.size() - n) return npos;
  const std::size_t last = text.size() - n;  // the last position a match can start at
  const char* data = text.data();
  // Next position of each first byte at or after i; recomputed only when passed.
  std::size_t next[2] = {0, 0};
  bool known[2] = {false, false};
  std::size_t i = from;
  while (i <= last) {
    std::size_t candidate = npos;
    for (int k = 0; k < first_count_; ++k) {
      if (!known[k] || (next[k] != npos && next[k] < i)) {
        const void* hit = std::memchr(data + i, first_[k], last + 1 - i);
        next[k] = hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - data) : npos;
        known[k] = true;
      }
      if (next[k] < candidate) candidate = next[k];
    }
    if (candidate == npos) return npos;
    if (MatchesAt(text, candidate)) return candidate;
    i = candidate + 1;
  }
  return npos;
}

const Pattern::Automaton& Pattern::GetAutomaton() const {
  if (automaton_) return *automaton_;
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
  automaton_ = std::move(a);
  return *automaton_;
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
