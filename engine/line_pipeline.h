#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "text_compare.h"

namespace slimtag {

// The option boxes as the run reads them: state 0, 1 or 2 of Check1 to Check14.
struct RunOptions {
  std::array<int, 15> box{};
  bool Ticked(int number) const { return box[number] == 1; }
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
  virtual void Apply(std::string& line) const = 0;
};

// The ticked passes in the run's fixed order, prepared for pages of one encoding.
class LinePipeline {
 public:
  LinePipeline(const RunOptions& options, const UserTexts& texts, Encoding encoding);
  ~LinePipeline();
  LinePipeline(LinePipeline&&) noexcept;

  void Apply(std::string& line) const {
    for (const auto& pass : passes_) pass->Apply(line);
  }
  bool Empty() const { return passes_.empty(); }

 private:
  std::vector<std::unique_ptr<LinePass>> passes_;
};

}  // namespace slimtag
