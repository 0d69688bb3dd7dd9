#pragma once

#include <array>
#include <functional>
#include <string>

// What a run's line passes are made from: the option boxes, the user's texts, and the shape of a
// pass. The passes depend on this header; the pipeline depends on the passes.
namespace slimtag {

// The option boxes Check1 to Check14 by what they do. A value is the box's number, as the
// settings store and slimtag-batch's --check name the box.
enum class Box : int {
  kTrimStart = 1,       // blanks at line starts
  kTrimEnd = 2,         // blanks at line ends
  kDropEmptyLines = 3,  // empty lines
  kEditorMeta = 4,      // editors' meta tags
  kComments = 5,        // never read by the run
  kBackup = 6,          // a backup copy of each page
  kSpaceEntity = 7,     // &nbsp;
  kTagBlanks = 8,       // blanks beside tag brackets
  kEmptyTags = 9,       // empty paragraph and centre pairs
  kLogicalTags = 10,    // logical tags to plain ones
  kColours = 11,        // long colour codes to names
  kReplace = 12,        // the user's replacement pairs
  kRemove = 13,         // the user's removal texts
  kJoinLines = 14,      // line breaks
};
inline constexpr int kBoxCount = 14;

// The option boxes as the run reads them: state 0, 1 or 2 of each.
struct RunOptions {
  std::array<int, kBoxCount + 1> box{};  // by number; [0] unused
  bool Ticked(Box b) const { return box[static_cast<std::size_t>(b)] == 1; }
  void Tick(Box b) { box[static_cast<std::size_t>(b)] = 1; }
};

// The user's nine texts (UTF-8): three find-and-replace pairs and three removal texts.
struct UserTexts {
  std::array<std::string, 3> find;
  std::array<std::string, 3> replace;
  std::array<std::string, 3> remove;
  // Whether the page's encoding decides how these texts compare and are written.
  bool NeedsPageEncoding(const RunOptions& options) const;
};

// One pass over a line, as the pipeline runs every pass: takes the current line, leaves its
// result in it and returns whether the line changed.
using LinePass = std::function<bool(std::string&)>;

}  // namespace slimtag
