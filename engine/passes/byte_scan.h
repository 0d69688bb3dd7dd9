#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "pass_isa.h"

#if defined(SLIMTAG_SCAN_AVX2)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

// Finding where a short pattern of bytes starts, kWidth positions at a time: sixteen with SSE2,
// thirty-two in the passes built for AVX2 (pass_isa.h). A pass describes its trigger as a function
// of four loads (the bytes at offsets 0 to 3 from each position) and gets back the positions where
// it holds. Lines that a pass cannot touch then cost one such scan,
// whatever bytes they hold: HTML is dense in "<", ">" and blanks, so a search for one of those
// bytes followed by a check of each hit would cost a call per tag.
//
// A trigger holds only where the byte at offset 0 is some given byte other than zero; bytes past
// the end of the text read as zero bytes. No byte outside the text is ever read: the last positions
// of a text come from loads that end at its end.
namespace slimtag {
inline namespace SLIMTAG_PASS_ISA {
namespace scan {

// How many bytes past a position a trigger may look at.
inline constexpr std::size_t kLookahead = 3;

#if defined(SLIMTAG_SCAN_AVX2) || defined(__SSE2__)

// The count bytes from p (fewer than sixteen), zero bytes after them, read through loads that may
// overlap: a short line costs no copy through memory.
inline __m128i LoadUpTo16(const char* p, std::size_t count) {
  std::uint64_t low = 0, high = 0;
  if (count >= 8) {
    std::memcpy(&low, p, 8);
    if (count > 8) {
      std::memcpy(&high, p + count - 8, 8);
      high >>= 8 * (16 - count);
    }
  } else if (count >= 4) {
    std::uint32_t head, tail;
    std::memcpy(&head, p, 4);
    std::memcpy(&tail, p + count - 4, 4);
    low = head | std::uint64_t(tail) << (8 * (count - 4));
  } else if (count > 0) {
    const auto byte = [p](std::size_t i) {
      return std::uint64_t(static_cast<unsigned char>(p[i]));
    };
    low = byte(0) | byte(count / 2) << (8 * (count / 2)) | byte(count - 1) << (8 * (count - 1));
  }
  return _mm_set_epi64x(static_cast<long long>(high), static_cast<long long>(low));
}

#endif

#if defined(SLIMTAG_SCAN_AVX2)

inline constexpr std::size_t kWidth = 32;
#define SLIMTAG_SCAN_LOOKUP 1

// Thirty-two bytes, or thirty-two flags (0x00 or 0xFF) after a comparison.
class Bytes {
 public:
  Bytes() : v_(_mm256_setzero_si256()) {}
  static Bytes Load(const char* p) {
    return Bytes(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)));
  }
  // The count bytes from p (fewer than thirty-two), zero bytes after them, without reading past
  // them: two halves of sixteen.
  static Bytes LoadUpTo(const char* p, std::size_t count) {
    if (count >= 16) {
      return Bytes(_mm256_set_m128i(LoadUpTo16(p + 16, count - 16),
                                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(p))));
    }
    return Bytes(_mm256_set_m128i(_mm_setzero_si128(), LoadUpTo16(p, count)));
  }
  // Byte i + k in place i, zero bytes in the last k places. (The byte shifts of AVX2 stay within
  // each half; alignr across the upper half moved down does it for all thirty-two.)
  template <int k>
  Bytes ShiftDown() const {
    const __m256i upper = _mm256_permute2x128_si256(v_, v_, 0x81);
    return Bytes(_mm256_alignr_epi8(upper, v_, k));
  }
  Bytes operator==(char c) const { return Bytes(_mm256_cmpeq_epi8(v_, _mm256_set1_epi8(c))); }
  Bytes operator&(Bytes o) const { return Bytes(_mm256_and_si256(v_, o.v_)); }
  Bytes operator|(Bytes o) const { return Bytes(_mm256_or_si256(v_, o.v_)); }
  Bytes operator^(Bytes o) const { return Bytes(_mm256_xor_si256(v_, o.v_)); }
  Bytes LowerAscii() const { return Bytes(_mm256_or_si256(v_, _mm256_set1_epi8(0x20))); }
  std::uint32_t Mask() const { return static_cast<std::uint32_t>(_mm256_movemask_epi8(v_)); }

  // Only in this build (SLIMTAG_SCAN_LOOKUP): sums, flags, choices and tables of sixteen bytes
  // indexed by each byte's low four bits.
  Bytes operator+(Bytes o) const { return Bytes(_mm256_add_epi8(v_, o.v_)); }  // wrapping
  Bytes Equals(Bytes o) const { return Bytes(_mm256_cmpeq_epi8(v_, o.v_)); }
  // Where flags is set, the byte of when_set; elsewhere this one.
  Bytes Blend(Bytes flags, Bytes when_set) const {
    return Bytes(_mm256_blendv_epi8(v_, when_set.v_, flags.v_));
  }
  static Bytes Table(const std::uint8_t (&table)[16]) {
    return Bytes(
        _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(table))));
  }
  Bytes LowNibbleIn(Bytes table) const {
    return Bytes(_mm256_shuffle_epi8(table.v_, _mm256_and_si256(v_, _mm256_set1_epi8(0x0f))));
  }

 private:
  explicit Bytes(__m256i v) : v_(v) {}
  __m256i v_;
};

#elif defined(__SSE2__)

inline constexpr std::size_t kWidth = 16;

// Sixteen bytes, or sixteen flags (0x00 or 0xFF) after a comparison.
class Bytes {
 public:
  Bytes() : v_(_mm_setzero_si128()) {}
  static Bytes Load(const char* p) {
    return Bytes(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
  }
  // The count bytes from p (fewer than sixteen), zero bytes after them.
  static Bytes LoadUpTo(const char* p, std::size_t count) { return Bytes(LoadUpTo16(p, count)); }
  // Byte i + k in place i, zero bytes in the last k places.
  template <int k>
  Bytes ShiftDown() const {
    return Bytes(_mm_srli_si128(v_, k));
  }
  Bytes operator==(char c) const { return Bytes(_mm_cmpeq_epi8(v_, _mm_set1_epi8(c))); }
  Bytes operator&(Bytes o) const { return Bytes(_mm_and_si128(v_, o.v_)); }
  Bytes operator|(Bytes o) const { return Bytes(_mm_or_si128(v_, o.v_)); }
  Bytes operator^(Bytes o) const { return Bytes(_mm_xor_si128(v_, o.v_)); }
  // Bytes with 0x20 set: A-Z become a-z (other bytes may change too; triggers only need that a
  // letter of either case gives the small one).
  Bytes LowerAscii() const { return Bytes(_mm_or_si128(v_, _mm_set1_epi8(0x20))); }
  // Bit i set when flag i is.
  std::uint32_t Mask() const { return static_cast<std::uint32_t>(_mm_movemask_epi8(v_)); }

 private:
  explicit Bytes(__m128i v) : v_(v) {}
  __m128i v_;
};

#else

// The same on one byte at a time, for targets without SSE2.
class Bytes {
 public:
  static Bytes Load(const char* p) { return LoadUpTo(p, kWidth); }
  static Bytes LoadUpTo(const char* p, std::size_t count) {
    Bytes b;
    std::memcpy(b.v_, p, count);
    return b;
  }
  template <int k>
  Bytes ShiftDown() const {
    Bytes b;
    std::memcpy(b.v_, v_ + k, kWidth - k);
    return b;
  }
  Bytes operator==(char c) const {
    return Map([c](unsigned char x) { return x == static_cast<unsigned char>(c) ? 0xFF : 0; });
  }
  Bytes operator&(Bytes o) const {
    return Zip(o, [](unsigned x, unsigned y) { return x & y; });
  }
  Bytes operator|(Bytes o) const {
    return Zip(o, [](unsigned x, unsigned y) { return x | y; });
  }
  Bytes operator^(Bytes o) const {
    return Zip(o, [](unsigned x, unsigned y) { return x ^ y; });
  }
  Bytes LowerAscii() const {
    return Map([](unsigned char x) { return x | 0x20; });
  }
  std::uint32_t Mask() const {
    std::uint32_t mask = 0;
    for (std::size_t i = 0; i < kWidth; ++i) mask |= std::uint32_t(v_[i] >> 7) << i;
    return mask;
  }

 private:
  template <class F>
  Bytes Map(F f) const {
    Bytes b;
    for (std::size_t i = 0; i < kWidth; ++i) b.v_[i] = static_cast<unsigned char>(f(v_[i]));
    return b;
  }
  template <class F>
  Bytes Zip(Bytes o, F f) const {
    Bytes b;
    for (std::size_t i = 0; i < kWidth; ++i) {
      b.v_[i] = static_cast<unsigned char>(f(v_[i], o.v_[i]));
    }
    return b;
  }
  unsigned char v_[kWidth] = {};
};

#endif

// The bytes at offsets 0 to 3 from kWidth positions (sixteen, or thirty-two in the AVX2 build).
// A trigger that does not look at some of them costs no load for those.
struct Window {
  Bytes at0, at1, at2, at3;
  // Positions p to p + kWidth - 1, with kLookahead bytes after them inside the text.
  static Window Load(const char* p) {
    return {Bytes::Load(p), Bytes::Load(p + 1), Bytes::Load(p + 2), Bytes::Load(p + 3)};
  }
  // The window of the kWidth bytes b: nothing after them.
  static Window Last(Bytes b) {
    return {b, b.template ShiftDown<1>(), b.template ShiftDown<2>(), b.template ShiftDown<3>()};
  }
};

// The flags of a trigger for the positions from pos on: bit i for position pos + i, over the
// covered positions.
struct Block {
  std::uint64_t mask;
  std::size_t covered;
};

// The flags where fewer than kWidth + kLookahead bytes are left from pos: once per text, so kept
// out of the scans' loops.
template <class Trigger>
[[gnu::noinline]] Block LastBlock(std::string_view text, std::size_t pos, const Trigger& trigger) {
  const char* data = text.data();
  const std::size_t n = text.size();
  const std::size_t left = n - pos;
  if (n >= kWidth + kLookahead) {
    // The last positions: a window that ends kLookahead bytes before the end, then the last
    // kLookahead positions from the last kWidth bytes.
    const std::size_t start = n - kWidth - kLookahead;
    const std::uint64_t head = trigger(Window::Load(data + start)).Mask();
    const std::uint64_t tail =
        trigger(Window::Last(Bytes::Load(data + n - kWidth))).Mask() >> (kWidth - kLookahead);
    return {(head | tail << kWidth) >> (pos - start), left};
  }
  // A short text: its first kWidth positions from loads that stay inside it, and any after them
  // as the last ones of the window on its last kWidth bytes.
  std::uint64_t mask;
  if (n <= kWidth) {
    mask = trigger(Window::Last(Bytes::LoadUpTo(data, n))).Mask() & ((std::uint64_t{1} << n) - 1);
  } else {
    const Window first{Bytes::Load(data), Bytes::Load(data + 1),
                       n >= kWidth + 2 ? Bytes::Load(data + 2) : Bytes::LoadUpTo(data + 2, n - 2),
                       Bytes::LoadUpTo(data + 3, n - 3)};
    const std::uint64_t rest =
        trigger(Window::Last(Bytes::Load(data + n - kWidth))).Mask() >> (2 * kWidth - n);
    mask = trigger(first).Mask() | rest << kWidth;
  }
  return {mask >> pos, left};
}

template <class Trigger>
[[gnu::always_inline]] inline Block TriggerBlock(std::string_view text, std::size_t pos,
                                                 const Trigger& trigger) {
  if (text.size() - pos >= kWidth + kLookahead) {
    return {trigger(Window::Load(text.data() + pos)).Mask(), kWidth};
  }
  return LastBlock(text, pos, trigger);
}

// The first block from pos on whose flags are not all clear, with pos moved to its start; near
// the text's end, the last block, whatever its flags. pos must be inside the text. The loop over
// clear blocks calls nothing, so the trigger's constants stay in registers over it: a visit that
// calls a function would otherwise make the compiler build them again for every block.
template <class Trigger>
[[gnu::always_inline]] inline Block NextBlockWithFlags(std::string_view text, std::size_t& pos,
                                                       const Trigger& trigger) {
  if (text.size() >= kWidth + kLookahead) {
    const std::size_t last_window = text.size() - kWidth - kLookahead;
    while (pos <= last_window) {
      __builtin_prefetch(text.data() + pos + 512);
      const std::uint64_t mask = trigger(Window::Load(text.data() + pos)).Mask();
      if (mask != 0) return {mask, kWidth};
      pos += kWidth;
    }
  }
  return LastBlock(text, pos, trigger);
}

// The first position at or after from where trigger holds, or npos.
template <class Trigger>
std::size_t FindTrigger(std::string_view text, std::size_t from, const Trigger& trigger) {
  for (std::size_t pos = from; pos < text.size();) {
    const Block block = NextBlockWithFlags(text, pos, trigger);
    if (block.mask != 0) return pos + static_cast<std::size_t>(std::countr_zero(block.mask));
    pos += block.covered;
  }
  return std::string_view::npos;
}

// Calls visit(pos) for each position from from on where trigger holds, earliest first; visit
// returns the position to go on from, past pos. The flags of a block of positions are worked out
// at once, so visit may change the text only before the position it returns.
template <class Trigger, class Visit>
void ForEachTrigger(std::string_view text, std::size_t from, const Trigger& trigger,
                    const Visit& visit) {
  std::size_t pos = from;
  while (pos < text.size()) {
    const Block block = NextBlockWithFlags(text, pos, trigger);
    std::uint64_t mask = block.mask;
    std::size_t next = pos + block.covered;
    while (mask != 0) {
      const std::size_t resume = visit(pos + static_cast<std::size_t>(std::countr_zero(mask)));
      if (resume >= pos + block.covered) {
        next = resume;
        break;
      }
      mask &= ~std::uint64_t{0} << (resume - pos);
    }
    pos = next;
  }
}

// As ForEachTrigger, for a trigger that holds often where a cheap second look, keep(pos), rules
// out most places: keep is asked of every place in a run of 64 positions without a branch on its
// answer (those branches are what cost on HTML's dense brackets), and visit only of the places
// it keeps. keep may read the text from pos to pos + kLookahead, clipped to the text's end.
template <class Trigger, class Keep, class Visit>
void ForEachKeptTrigger(std::string_view text, const Trigger& trigger, const Keep& keep,
                        const Visit& visit) {
  // The positions of a run are bits of one word; the last block of a text covers up to
  // kWidth + kLookahead - 1 of them.
  constexpr std::size_t kRun = 64;
  static_assert(kWidth + kLookahead <= kRun);
  std::size_t kept[kRun];
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::uint64_t mask = 0;
    std::size_t covered = 0;
    while (covered + kWidth + kLookahead <= kRun && pos + covered < text.size()) {
      const Block block = TriggerBlock(text, pos + covered, trigger);
      mask |= block.mask << covered;
      covered += block.covered;
    }
    std::size_t count = 0;
    while (mask != 0) {
      const std::size_t at = pos + static_cast<std::size_t>(std::countr_zero(mask));
      mask &= mask - 1;
      kept[count] = at;
      count += keep(at) ? 1 : 0;
    }
    std::size_t next = pos + covered;
    for (std::size_t k = 0, resume = 0; k < count; ++k) {
      if (kept[k] < resume) continue;
      resume = visit(kept[k]);
      next = std::max(next, resume);
    }
    pos = next;
  }
}

// Bit i set when the i-th trigger holds somewhere in text: several passes' triggers found in one
// scan of the line. The flags are gathered as bytes and read once at the end. The last windows
// may cover positions again, which does not change what is present, and their places past the
// end hold zero bytes, where no trigger holds.
template <class... Triggers>
std::uint32_t TriggersPresent(std::string_view text, const Triggers&... triggers) {
  constexpr std::size_t kCount = sizeof...(Triggers);
  static_assert(kCount <= 32);
  const char* data = text.data();
  const std::size_t n = text.size();
  if (n <= kWidth) {
    // A short line, the most common kind where lines end with CR LF: one window.
    const Window w = Window::Last(Bytes::LoadUpTo(data, n));
    std::uint32_t present = 0;
    std::size_t i = 0;
    ((present |= static_cast<std::uint32_t>(triggers(w).Mask() != 0) << i, ++i), ...);
    return present;
  }
  // The windows inside the text, then the last ones.
  const std::size_t inside = n >= kWidth + kLookahead ? (n - kWidth - kLookahead) / kWidth + 1 : 0;
  // (Copies of a window built here: Window's own default constructor would be built outside this
  // build's instruction set and call Bytes' out of line.)
  const Window none = Window::Last(Bytes());
  Window last[2] = {none, none};
  std::size_t lasts = 0;
  if (n >= kWidth + kLookahead) {
    // The windows inside cover the positions before n - 3 - (n - kWidth - kLookahead) % kWidth;
    // the last window covers the last kWidth, and one more window ending kLookahead bytes before
    // the end is needed only where those leave a gap.
    if ((n - kWidth - kLookahead) % kWidth > kWidth - kLookahead) {
      last[lasts++] = Window::Load(data + n - kWidth - kLookahead);
    }
    last[lasts++] = Window::Last(Bytes::Load(data + n - kWidth));
  } else if (n > kWidth) {
    last[lasts++] =
        Window{Bytes::Load(data), Bytes::Load(data + 1),
               n >= kWidth + 2 ? Bytes::Load(data + 2) : Bytes::LoadUpTo(data + 2, n - 2),
               Bytes::LoadUpTo(data + 3, n - 3)};
    last[lasts++] = Window::Last(Bytes::Load(data + n - kWidth));
  } else {
    last[lasts++] = Window::Last(Bytes::LoadUpTo(data, n));
  }
  Bytes seen[kCount] = {};
  for (std::size_t k = 0; k < inside + lasts; ++k) {
    const Window w = k < inside ? Window::Load(data + k * kWidth) : last[k - inside];
    std::size_t i = 0;
    ((seen[i] = seen[i] | triggers(w), ++i), ...);
  }
  // Without a branch on each trigger: which of them a short line holds is hard to foresee.
  std::uint32_t present = 0;
  for (std::size_t i = 0; i < kCount; ++i) {
    present |= static_cast<std::uint32_t>(seen[i].Mask() != 0) << i;
  }
  return present;
}

}  // namespace scan
}  // namespace SLIMTAG_PASS_ISA
}  // namespace slimtag
