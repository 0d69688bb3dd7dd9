// The trigger search, kWidth positions at a time, against the plain byte-by-byte reading of the
// same trigger, on texts of every length around the block sizes, so that every way of reading a
// text's last positions is met: in every build that this processor runs.

// Built for each instruction set of the passes.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "byte_scan_test.cpp"
#include "passes/pass_isa.h"

#include <hwy/foreach_target.h>  // IWYU pragma: keep

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "passes/byte_scan.h"
#include "passes/editor_meta.h"
#include "passes/empty_tags.h"
#include "passes/logical_tags.h"
#include "passes/tag_blanks.h"

HWY_BEFORE_NAMESPACE();
namespace slimtag {
namespace HWY_NAMESPACE {
namespace {

// Whether trigger holds at pos, read one position at a time: the trigger's own flag for a window
// whose kWidth places all show the bytes at pos, pos + 1, … (zero bytes past the end).
template <class Trigger>
bool HoldsAt(std::string_view text, std::size_t pos, const Trigger& trigger) {
  char bytes[scan::kWidth + scan::kLookahead] = {};
  for (std::size_t k = 0; k <= scan::kLookahead; ++k) {
    if (pos + k < text.size()) bytes[k] = text[pos + k];
  }
  // Place 0 of a window loaded from the copy.
  return (trigger(scan::Window::Load(bytes)).Mask() & 1u) != 0;
}

template <class Trigger>
std::vector<std::size_t> PlainPositions(std::string_view text, const Trigger& trigger) {
  std::vector<std::size_t> positions;
  for (std::size_t pos = 0; pos < text.size(); ++pos) {
    if (HoldsAt(text, pos, trigger)) positions.push_back(pos);
  }
  return positions;
}

std::string RandomText(std::mt19937& random, std::size_t length) {
  static const std::string kAlphabet("<>/  mMpPcx\0#&sStTrR", 20);
  std::string text;
  for (std::size_t i = 0; i < length; ++i) text += kAlphabet[random() % kAlphabet.size()];
  return text;
}

constexpr auto kBracket = [](const scan::Window& w) { return w.at0 == '<'; };

template <class Trigger>
void CheckAgainstPlain(const Trigger& trigger) {
  std::mt19937 random(77);
  for (int trial = 0; trial < 4000; ++trial) {
    const std::string text = RandomText(random, static_cast<std::size_t>(trial % 90));
    const std::vector<std::size_t> plain = PlainPositions(text, trigger);

    std::vector<std::size_t> each;
    scan::ForEachTrigger(text, 0, trigger, [&](std::size_t pos) {
      each.push_back(pos);
      return pos + 1;
    });
    ASSERT_EQ(each, plain) << "text \"" << text << '"';

    const std::size_t from = text.empty() ? 0 : random() % text.size();
    std::size_t first = std::string_view::npos;
    for (const std::size_t pos : plain) {
      if (pos >= from) {
        first = pos;
        break;
      }
    }
    ASSERT_EQ(scan::FindTrigger(text, from, trigger), first) << "text \"" << text << '"';
    ASSERT_EQ(scan::TriggersPresent(text, trigger, kBracket),
              (plain.empty() ? 0u : 1u) | (text.find('<') == std::string::npos ? 0u : 2u))
        << "text \"" << text << '"';
  }
}

void TriggersAreFoundAsByTheBytes() {
  CheckAgainstPlain(kEditedRunTrigger);
  CheckAgainstPlain(kMetaTrigger);
  CheckAgainstPlain(kEmptyTagTrigger);
  CheckAgainstPlain(kLogicalTagTrigger);
}

// A visit that skips ahead is not asked about the places it skipped.
void VisitResumesWhereItSays() {
  const std::string text(100, '<');
  std::vector<std::size_t> visited;
  scan::ForEachTrigger(text, 0, kBracket, [&](std::size_t pos) {
    visited.push_back(pos);
    return pos + 7;
  });
  std::vector<std::size_t> expected;
  for (std::size_t pos = 0; pos < text.size(); pos += 7) expected.push_back(pos);
  EXPECT_EQ(visited, expected);
}

}  // namespace
}  // namespace HWY_NAMESPACE
}  // namespace slimtag
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace slimtag {
namespace {

HWY_EXPORT(TriggersAreFoundAsByTheBytes);
HWY_EXPORT(VisitResumesWhereItSays);

// Runs check in each build that this processor runs.
template <class Check>
void InEveryBuild(const Check& check) {
  for (const std::int64_t target : hwy::SupportedAndGeneratedTargets()) {
    SCOPED_TRACE(hwy::TargetName(target));
    hwy::SetSupportedTargetsForTest(target);
    check();
  }
  hwy::SetSupportedTargetsForTest(0);
}

TEST(ByteScan, TriggersAreFoundAsByTheBytes) {
  InEveryBuild(HWY_DYNAMIC_DISPATCH(TriggersAreFoundAsByTheBytes));
}

TEST(ByteScan, VisitResumesWhereItSays) {
  InEveryBuild(HWY_DYNAMIC_DISPATCH(VisitResumesWhereItSays));
}

}  // namespace
}  // namespace slimtag
#endif
