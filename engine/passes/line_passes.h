#ifndef SLIMTAG_PASSES_LINE_PASSES_H_
#define SLIMTAG_PASSES_LINE_PASSES_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "colour_codes.h"
#include "editor_meta.h"
#include "empty_tags.h"
#include "line_end_blanks.h"
#include "logical_tags.h"
#include "run_options.h"
#include "scanning_passes.h"
#include "space_entity.h"
#include "tag_blanks.h"
#include "user_edits.h"

namespace slimtag {

// What a line holds that a pass acts on. A pass can change a line only where its sign is: a line
// without it leaves the pass without anything to do, so the pipeline does not call the pass.
enum class SignKind {
  kNone,          // every line may give the pass work
  kBlankAtStart,  // the line's first byte is a blank
  kBlankAtEnd,    // its last byte is
  kScanned,       // the one scan of the line that surveys it finds the row's trigger
};

// What a pass's edits can form, which the passes after it then have to look for themselves.
enum class Forms {
  kNothing,  // trimming the ends joins nothing
  // Deletions join the text on their two sides: the signs of several bytes. The fixed passes but
  // trimming delete, and insert only their tables' texts: "<" (logical tags) and letters.
  kJoined,
  kEvery,  // any text (the user's replacements)
};

using UserPassMaker = LinePass (*)(const UserTexts&, Encoding);

// One line pass, a row of kLinePasses. Its code, the pass as a function of the line and the trigger
// of its sign, is the row of the same place in kLinePassCode (below), which is built for each
// instruction set.
struct LinePassRow {
  Box box;  // the pass runs where its box is ticked
  SignKind sign;
  bool spans_bytes = false;  // kScanned: the sign is of several bytes, which a deletion can join
  Forms forms = Forms::kJoined;
  // Done as ApplyToLines copies the lines (CopyWholeLines), so left out after the copy.
  CopiedAs copied = CopiedAs::kNot;
  // The pass made from the user's texts, which may hold a line end; nullptr where the pass is a
  // function of the line.
  UserPassMaker make = nullptr;
};

// The run's line passes in their fixed order, the one list of them: the pipeline runs the ticked
// ones in this order, and the survey looks for the scanned signs in this order, one bit each.
inline constexpr LinePassRow kLinePasses[] = {
    {.box = Box::kTrimStart,
     .sign = SignKind::kBlankAtStart,
     .forms = Forms::kNothing,
     .copied = CopiedAs::kLeadingBlanks},
    {.box = Box::kTrimEnd,
     .sign = SignKind::kBlankAtEnd,
     .forms = Forms::kNothing,
     .copied = CopiedAs::kTrailingBlanks},
    {.box = Box::kTagBlanks,
     .sign = SignKind::kScanned,
     .spans_bytes = true,
     .copied = CopiedAs::kTagBlanks},
    {.box = Box::kReplace,
     .sign = SignKind::kNone,
     .forms = Forms::kEvery,
     .make = &MakeUserReplacementPass},
    {.box = Box::kRemove, .sign = SignKind::kNone, .make = &MakeUserRemovalPass},
    {.box = Box::kEditorMeta, .sign = SignKind::kScanned, .spans_bytes = true},
    {.box = Box::kSpaceEntity, .sign = SignKind::kScanned},
    {.box = Box::kEmptyTags, .sign = SignKind::kScanned, .spans_bytes = true},
    {.box = Box::kLogicalTags, .sign = SignKind::kScanned, .spans_bytes = true},
    {.box = Box::kColours, .sign = SignKind::kScanned},
};
inline constexpr std::size_t kLinePassCount = std::size(kLinePasses);

namespace line_passes {

constexpr bool EachRowWhole() {
  for (const LinePassRow& row : kLinePasses) {
    if (row.spans_bytes && row.sign != SignKind::kScanned) return false;
  }
  return true;
}
static_assert(EachRowWhole(), "only a scanned sign spans bytes");

constexpr bool EachBoxOnce() {
  for (std::size_t i = 0; i < kLinePassCount; ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      if (kLinePasses[i].box == kLinePasses[j].box) return false;
    }
  }
  return true;
}
static_assert(EachBoxOnce());

// ApplyToLines makes the copied edits before any other step, in their own order: their rows come
// first, in that order, each once.
constexpr bool CopiedRowsFirstInTheirOrder() {
  CopiedAs last = CopiedAs::kNot;
  bool other_before = false;
  for (const LinePassRow& row : kLinePasses) {
    if (row.copied == CopiedAs::kNot) {
      other_before = true;
    } else if (other_before || row.copied <= last) {
      return false;
    } else {
      last = row.copied;
    }
  }
  return true;
}
static_assert(CopiedRowsFirstInTheirOrder());

constexpr std::size_t ScannedCount() {
  std::size_t count = 0;
  for (const LinePassRow& row : kLinePasses) count += row.sign == SignKind::kScanned ? 1 : 0;
  return count;
}

}  // namespace line_passes

// The signs as bits: the blanks at the ends first, then the scanned signs in row order.
namespace sign {
inline constexpr std::uint32_t kBlankAtStart = 1u << 0;
inline constexpr std::uint32_t kBlankAtEnd = 1u << 1;
inline constexpr int kFirstScannedBit = 2;
inline constexpr std::size_t kScannedCount = line_passes::ScannedCount();
static_assert(kFirstScannedBit + kScannedCount <= 32);
inline constexpr std::uint32_t kEvery = (1u << (kFirstScannedBit + kScannedCount)) - 1;
// The signs that a scan of the line finds.
inline constexpr std::uint32_t kScanned = kEvery & ~(kBlankAtStart | kBlankAtEnd);

// The sign of each row; 0 where the pass runs on every line.
inline constexpr std::array<std::uint32_t, kLinePassCount> kByRow = [] {
  std::array<std::uint32_t, kLinePassCount> signs{};
  int scanned = kFirstScannedBit;
  for (std::size_t i = 0; i < kLinePassCount; ++i) {
    switch (kLinePasses[i].sign) {
      case SignKind::kNone:
        break;
      case SignKind::kBlankAtStart:
        signs[i] = kBlankAtStart;
        break;
      case SignKind::kBlankAtEnd:
        signs[i] = kBlankAtEnd;
        break;
      case SignKind::kScanned:
        signs[i] = 1u << scanned++;
        break;
    }
  }
  return signs;
}();

// The signs of several bytes, which a deletion can form by joining the text on its two sides.
inline constexpr std::uint32_t kJoined = [] {
  std::uint32_t joined = 0;
  for (std::size_t i = 0; i < kLinePassCount; ++i) {
    if (kLinePasses[i].spans_bytes) joined |= kByRow[i];
  }
  return joined;
}();

inline constexpr std::uint32_t Formed(Forms forms) {
  switch (forms) {
    case Forms::kNothing:
      return 0;
    case Forms::kJoined:
      return kJoined;
    case Forms::kEvery:
      return kEvery;
  }
  return kEvery;
}
}  // namespace sign

// The row of the pass of a box.
inline constexpr std::size_t RowOf(Box box) {
  std::size_t row = 0;
  while (row < kLinePassCount && kLinePasses[row].box != box) ++row;
  return row;
}
inline constexpr std::uint32_t SignOf(Box box) {
  return sign::kByRow[RowOf(box)];
}

// The signs of the line's first and last byte alone (sign::kBlankAtStart, sign::kBlankAtEnd),
// which need no scan.
inline std::uint32_t EndSigns(std::string_view line) {
  if (line.empty()) return 0;
  return (line.front() == ' ' ? sign::kBlankAtStart : 0) |
         (line.back() == ' ' ? sign::kBlankAtEnd : 0);
}

}  // namespace slimtag

#endif  // SLIMTAG_PASSES_LINE_PASSES_H_

// The passes' code of one build, once for each instruction set of the unit (byte_scan.h).
#if defined(SLIMTAG_PASSES_LINE_PASSES_TARGET_) == defined(HWY_TARGET_TOGGLE)
#ifdef SLIMTAG_PASSES_LINE_PASSES_TARGET_
#undef SLIMTAG_PASSES_LINE_PASSES_TARGET_
#else
#define SLIMTAG_PASSES_LINE_PASSES_TARGET_
#endif

#include "byte_scan.h"
#include "colour_codes.h"
#include "editor_meta.h"
#include "empty_tags.h"
#include "line_end_blanks.h"
#include "logical_tags.h"
#include "space_entity.h"
#include "tag_blanks.h"

HWY_BEFORE_NAMESPACE();
namespace slimtag {
namespace HWY_NAMESPACE {

// Where a line holds a pass's sign (byte_scan.h).
using Trigger = scan::Bytes (*)(const scan::Window&);
using LineEdit = void (*)(std::string&);

// The code of a row of kLinePasses, in this build.
struct LinePassCode {
  Box box;                    // the row's, to check that the two tables agree
  Trigger trigger = nullptr;  // kScanned: where the sign shows
  // The pass as a function of the line, which changes the line's length whenever it changes the
  // line; nullptr for the passes made from the user's texts.
  LineEdit edit = nullptr;
  // Where edit would reach past a LF on a text of whole lines that a LF ends too, the pass for
  // such a text; otherwise edit serves it.
  LineEdit lf_lines_edit = nullptr;
};

inline constexpr LinePassCode kLinePassCode[] = {
    {.box = Box::kTrimStart, .edit = &RemoveLeadingBlanks},
    {.box = Box::kTrimEnd, .edit = &RemoveTrailingBlanks},
    {.box = Box::kTagBlanks, .trigger = kEditedRunTrigger, .edit = &RemoveTagBlanks},
    {.box = Box::kReplace},
    {.box = Box::kRemove},
    {.box = Box::kEditorMeta,
     .trigger = kMetaTrigger,
     .edit = &RemoveEditorMetaTags,
     .lf_lines_edit = &RemoveEditorMetaTagsInLfLines},
    {.box = Box::kSpaceEntity, .trigger = kSpaceEntityTrigger, .edit = &RemoveSpaceEntities},
    {.box = Box::kEmptyTags, .trigger = kEmptyTagTrigger, .edit = &RemoveEmptyTags},
    {.box = Box::kLogicalTags, .trigger = kLogicalTagTrigger, .edit = &ReplaceLogicalTags},
    {.box = Box::kColours, .trigger = kColourCodeTrigger, .edit = &ShortenColourCodes},
};

constexpr bool EachRowHasItsCode() {
  if (std::size(kLinePassCode) != kLinePassCount) return false;
  for (std::size_t i = 0; i < kLinePassCount; ++i) {
    const LinePassRow& row = kLinePasses[i];
    const LinePassCode& code = kLinePassCode[i];
    if (code.box != row.box || (code.edit == nullptr) == (row.make == nullptr)) return false;
    if ((row.sign == SignKind::kScanned) != (code.trigger != nullptr)) return false;
  }
  return true;
}
static_assert(EachRowHasItsCode(),
              "a row's code takes its place, with an edit or a maker and a trigger for a scanned "
              "sign");

// The signs that the line holds, found in one scan.
std::uint32_t SurveyLine(std::string_view line);

}  // namespace HWY_NAMESPACE
}  // namespace slimtag
HWY_AFTER_NAMESPACE();

#endif  // SLIMTAG_PASSES_LINE_PASSES_TARGET_
