// Finding where a short pattern of bytes starts, kWidth positions at a time: thirty-two with
// AVX2, sixteen in the other builds (pass_isa.h). A pass describes its trigger as a function of
// four loads (the bytes at offsets 0 to 3 from each position) and gets back the positions where
// it holds. Lines that a pass cannot touch then cost one such scan, whatever bytes they hold: HTML
// is dense in "<", ">" and blanks, so a search for one of those bytes followed by a check of each
// hit would cost a call per tag.
//
// A trigger holds only where the byte at offset 0 is some given byte other than zero; bytes past
// the end of the text read as zero bytes. No byte outside the text is ever read: a text's last
// positions are read from a copy of its last bytes.
//
// Built once for each instruction set of the unit that includes it (hwy/foreach_target.h), in
// slimtag::HWY_NAMESPACE::scan; hence no include guard of the usual kind.
#if defined(SLIMTAG_PASSES_BYTE_SCAN_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef SLIMTAG_PASSES_BYTE_SCAN_H_
#undef SLIMTAG_PASSES_BYTE_SCAN_H_
#else
#define SLIMTAG_PASSES_BYTE_SCAN_H_

#endif

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "pass_isa.h"

#include <hwy/highway.h>

#if HWY_TARGET == HWY_SCALAR && defined(__SSE2__)
#include <emmintrin.h>
#endif

HWY_BEFORE_NAMESPACE();
namespace slimtag {
namespace HWY_NAMESPACE {
namespace scan {

namespace hn = hwy::HWY_NAMESPACE;

// How many bytes past a position a trigger may look at.
inline constexpr std::size_t kLookahead = 3;

#if HWY_TARGET != HWY_SCALAR

inline constexpr std::size_t kWidth = HWY_LANES(std::uint8_t);
static_assert(kWidth >= 16 && kWidth <= 32, "a block's flags are bits of a 32-bit word");

// kWidth bytes, or kWidth flags (0x00 or 0xFF) after a comparison.
class Bytes {
 public:
  using Tag = hn::ScalableTag<std::uint8_t>;

  Bytes() : v_(hn::Zero(Tag())) {}
  static Bytes Load(const char* p) {
    return Bytes(hn::LoadU(Tag(), reinterpret_cast<const std::uint8_t*>(p)));
  }
  Bytes operator==(char c) const {
    return Bytes(hn::VecFromMask(Tag(), hn::Eq(v_, hn::Set(Tag(), static_cast<std::uint8_t>(c)))));
  }
  Bytes operator&(Bytes o) const { return Bytes(hn::And(v_, o.v_)); }
  Bytes operator|(Bytes o) const { return Bytes(hn::Or(v_, o.v_)); }
  Bytes operator^(Bytes o) const { return Bytes(hn::Xor(v_, o.v_)); }
  Bytes operator+(Bytes o) const { return Bytes(hn::Add(v_, o.v_)); }  // wrapping
  Bytes Equals(Bytes o) const { return Bytes(hn::VecFromMask(Tag(), hn::Eq(v_, o.v_))); }
  // Bytes with 0x20 set: A-Z become a-z (other bytes may change too; triggers only need that a
  // letter of either case gives the small one).
  Bytes LowerAscii() const { return Bytes(hn::Or(v_, hn::Set(Tag(), std::uint8_t{0x20}))); }
  // Where flags is set, the byte of when_set; elsewhere this one.
  Bytes Blend(Bytes flags, Bytes when_set) const {
    return Bytes(hn::IfThenElse(hn::MaskFromVec(flags.v_), when_set.v_, v_));
  }
  // A table of sixteen bytes, which LowNibbleIn indexes by each byte's low four bits.
  static Bytes Table(const std::uint8_t (&table)[16]) {
    return Bytes(hn::LoadDup128(Tag(), table));
  }
  Bytes LowNibbleIn(Bytes table) const {
    return Bytes(hn::TableLookupBytes(table.v_, hn::And(v_, hn::Set(Tag(), std::uint8_t{0x0f}))));
  }
  // Bit i set when flag i is.
  std::uint32_t Mask() const {
    std::uint8_t bits[8] = {};
    hn::StoreMaskBits(Tag(), hn::MaskFromVec(v_), bits);
    std::uint32_t mask;
    std::memcpy(&mask, bits, sizeof mask);
    return mask;
  }

 private:
  explicit Bytes(hn::Vec<Tag> v) : v_(v) {}
  hn::Vec<Tag> v_;
};

#elif defined(__SSE2__)

inline constexpr std::size_t kWidth = 16;

// The baseline of x86-64, where Highway's vectors would hold one byte: SSE2, which every such
// processor has, sixteen bytes at a time; the one lookup SSE2 lacks byte by byte.
class Bytes {
 public:
  Bytes() : v_(_mm_setzero_si128()) {}
  static Bytes Load(const char* p) {
    return Bytes(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
  }
  Bytes operator==(char c) const { return Bytes(_mm_cmpeq_epi8(v_, _mm_set1_epi8(c))); }
  Bytes operator&(Bytes o) const { return Bytes(_mm_and_si128(v_, o.v_)); }
  Bytes operator|(Bytes o) const { return Bytes(_mm_or_si128(v_, o.v_)); }
  Bytes operator^(Bytes o) const { return Bytes(_mm_xor_si128(v_, o.v_)); }
  Bytes operator+(Bytes o) const { return Bytes(_mm_add_epi8(v_, o.v_)); }
  Bytes Equals(Bytes o) const { return Bytes(_mm_cmpeq_epi8(v_, o.v_)); }
  Bytes LowerAscii() const { return Bytes(_mm_or_si128(v_, _mm_set1_epi8(0x20))); }
  Bytes Blend(Bytes flags, Bytes when_set) const {
    return Bytes(
        _mm_or_si128(_mm_and_si128(flags.v_, when_set.v_), _mm_andnot_si128(flags.v_, v_)));
  }
  static Bytes Table(const std::uint8_t (&table)[16]) {
    return Bytes(_mm_loadu_si128(reinterpret_cast<const __m128i*>(table)));
  }
  Bytes LowNibbleIn(Bytes table) const {
    alignas(16) std::uint8_t entries[16], bytes[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(entries), table.v_);
    _mm_store_si128(reinterpret_cast<__m128i*>(bytes), v_);
    for (std::uint8_t& byte : bytes) byte = entries[byte & 0x0f];
    return Bytes(_mm_load_si128(reinterpret_cast<const __m128i*>(bytes)));
  }
  std::uint32_t Mask() const { return static_cast<std::uint32_t>(_mm_movemask_epi8(v_)); }

 private:
  explicit Bytes(__m128i v) : v_(v) {}
  __m128i v_;
};

#else

inline constexpr std::size_t kWidth = 16;

// The same on sixteen bytes one after another, for the build where Highway's vectors hold one.
class Bytes {
 public:
  static Bytes Load(const char* p) {
    Bytes b;
    std::memcpy(b.v_, p, kWidth);
    return b;
  }
  Bytes operator==(char c) const {
    return Map([c](std::uint8_t x) { return x == static_cast<std::uint8_t>(c) ? 0xFF : 0; });
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
  Bytes operator+(Bytes o) const {
    return Zip(o, [](unsigned x, unsigned y) { return x + y; });
  }
  Bytes Equals(Bytes o) const {
    return Zip(o, [](unsigned x, unsigned y) { return x == y ? 0xFF : 0; });
  }
  Bytes LowerAscii() const {
    return Map([](std::uint8_t x) { return x | 0x20; });
  }
  Bytes Blend(Bytes flags, Bytes when_set) const {
    Bytes b;
    for (std::size_t i = 0; i < kWidth; ++i) b.v_[i] = flags.v_[i] != 0 ? when_set.v_[i] : v_[i];
    return b;
  }
  static Bytes Table(const std::uint8_t (&table)[16]) {
    Bytes b;
    std::memcpy(b.v_, table, kWidth);
    return b;
  }
  Bytes LowNibbleIn(Bytes table) const {
    return Map([&table](std::uint8_t x) { return table.v_[x & 0x0f]; });
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
    for (std::size_t i = 0; i < kWidth; ++i) b.v_[i] = static_cast<std::uint8_t>(f(v_[i]));
    return b;
  }
  template <class F>
  Bytes Zip(Bytes o, F f) const {
    Bytes b;
    for (std::size_t i = 0; i < kWidth; ++i) {
      b.v_[i] = static_cast<std::uint8_t>(f(v_[i], o.v_[i]));
    }
    return b;
  }
  std::uint8_t v_[kWidth] = {};
};

#endif

static_assert(std::endian::native == std::endian::little, "Mask reads the flags' bytes in order");

// The bytes at offsets 0 to 3 from kWidth positions. A trigger that does not look at some of them
// costs no load for those.
struct Window {
  Bytes at0, at1, at2, at3;
  // Positions p to p + kWidth - 1, with kLookahead bytes after them inside the text.
  static Window Load(const char* p) {
    return {Bytes::Load(p), Bytes::Load(p + 1), Bytes::Load(p + 2), Bytes::Load(p + 3)};
  }
};

// The flags of a trigger for the positions from pos on: bit i for position pos + i, over the
// covered positions.
struct Block {
  std::uint64_t mask;
  std::size_t covered;
};

// The flags of the last positions of a text, fewer than kWidth + kLookahead from pos on: read
// from a copy of them, with zero bytes after. Once per text, so kept out of the scans' loops.
template <class... Triggers>
[[gnu::noinline]] void LastFlags(std::string_view text, std::size_t pos, std::uint64_t* masks,
                                 const Triggers&... triggers) {
  const std::size_t left = text.size() - pos;
  char tail[2 * kWidth + kLookahead] = {};
  if (left > 0) std::memcpy(tail, text.data() + pos, left);
  const Window first = Window::Load(tail);
  std::size_t i = 0;
  ((masks[i++] = triggers(first).Mask()), ...);
  if (left > kWidth) {
    const Window second = Window::Load(tail + kWidth);
    i = 0;
    ((masks[i++] |= std::uint64_t{triggers(second).Mask()} << kWidth), ...);
  }
}

template <class Trigger>
Block LastBlock(std::string_view text, std::size_t pos, const Trigger& trigger) {
  std::uint64_t mask;
  LastFlags(text, pos, &mask, trigger);
  return {mask, text.size() - pos};
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

// Calls visit(pos) for each position from from on where trigger holds and refine keeps it,
// earliest first; visit returns the position to go on from, past pos. refine(pos, block) gives the
// flags of a block that the trigger flags somewhere, less those of places that a second look rules
// out: a look at bytes further on than a trigger can see, once per such block. The flags of a
// block of positions are worked out at once, so visit may change the text only before the
// position it returns.
template <class Trigger, class Refine, class Visit>
void ForEachRefinedTrigger(std::string_view text, std::size_t from, const Trigger& trigger,
                           const Refine& refine, const Visit& visit) {
  std::size_t pos = from;
  while (pos < text.size()) {
    const Block block = NextBlockWithFlags(text, pos, trigger);
    std::uint64_t mask = block.mask != 0 ? refine(pos, block) : 0;
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

// The same for every place that the trigger flags.
template <class Trigger, class Visit>
void ForEachTrigger(std::string_view text, std::size_t from, const Trigger& trigger,
                    const Visit& visit) {
  ForEachRefinedTrigger(
      text, from, trigger, [](std::size_t, const Block& block) { return block.mask; }, visit);
}

// For refine: bit i set where the byte c is at one of offsets first to last from position pos + i
// of a whole block, for the kWidth positions of the block; where those bytes reach past the text,
// every bit.
template <std::size_t first, std::size_t last>
std::uint64_t ByteWithin(std::string_view text, std::size_t pos, char c) {
  static_assert(first <= last && last <= kWidth);
  if (text.size() < 2 * kWidth || pos > text.size() - 2 * kWidth) return ~std::uint64_t{0};
  const char* p = text.data() + pos;
  const std::uint64_t at =
      (Bytes::Load(p) == c).Mask() | std::uint64_t{(Bytes::Load(p + kWidth) == c).Mask()} << kWidth;
  // Bit i of near: c at one of offsets first to first + width - 1 from i.
  std::uint64_t near = at >> first;
  for (std::size_t width = 1; width < last - first + 1;) {
    const std::size_t step = std::min(width, last - first + 1 - width);
    near |= near >> step;
    width += step;
  }
  return near;
}

// Bit i set when the i-th trigger holds somewhere in text: several passes' triggers found in one
// scan of the line. The flags are gathered as bytes and read once at the end.
template <class... Triggers>
std::uint32_t TriggersPresent(std::string_view text, const Triggers&... triggers) {
  constexpr std::size_t kCount = sizeof...(Triggers);
  static_assert(kCount <= 32);
  const std::size_t n = text.size();
  // The windows inside the text, then the last positions from a copy.
  const std::size_t inside = n >= kWidth + kLookahead ? (n - kWidth - kLookahead) / kWidth + 1 : 0;
  Bytes seen[kCount];
  for (std::size_t k = 0; k < inside; ++k) {
    const Window w = Window::Load(text.data() + k * kWidth);
    std::size_t i = 0;
    ((seen[i] = seen[i] | triggers(w), ++i), ...);
  }
  std::uint64_t last[kCount];
  LastFlags(text, inside * kWidth, last, triggers...);
  // Without a branch on each trigger: which of them a short line holds is hard to foresee.
  std::uint32_t present = 0;
  for (std::size_t i = 0; i < kCount; ++i) {
    present |= static_cast<std::uint32_t>((seen[i].Mask() | last[i]) != 0) << i;
  }
  return present;
}

}  // namespace scan
}  // namespace HWY_NAMESPACE
}  // namespace slimtag
HWY_AFTER_NAMESPACE();

#endif  // SLIMTAG_PASSES_BYTE_SCAN_H_
