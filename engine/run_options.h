#pragma once

#include <array>
#include <string>

// What a run's line passes are made from: the option boxes, the user's texts, and the shape of a
// pass. The passes depend on this header; the pipeline depends on the passes.
namespace slimtag {

// The option boxes as the run reads them: state 0, 1 or 2 of Check1 to Check14.
struct RunOptions {
  std::array<int, 15> box{};
  bool Ticked(int number) const { return box[static_cast<std::size_t>(number)] == 1; }
};

// The user's nine texts (UTF-8): three find-and-replace pairs and three removal texts.
struct UserTexts {
  std::array<std::string, 3> find;
  std::array<std::string, 3> replace;
  std::array<std::string, 3> remove;
  // Whether the page's encoding decides how these texts compare and are written.
  bool NeedsPageEncoding(const RunOptions& options) const;
};

// One pass over a line: takes the current line and leaves its result in it.
class LinePass {
 public:
  virtual ~LinePass() = default;
  // Returns whether the line changed.
  virtual bool Apply(std::string& line) const = 0;
};

}  // namespace slimtag
