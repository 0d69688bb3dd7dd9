#include "passes_fuzz_check.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <vector>

#include "lines/line_output.h"
#include "lines/line_pipeline.h"
#include "lines/line_reader.h"
#include "passes/colour_codes.h"
#include "passes/editor_meta.h"
#include "passes/empty_tags.h"
#include "passes/logical_tags.h"
#include "passes/space_entity.h"
#include "reference_passes.h"
#include "run/stream_optimiser.h"
#include "string_streams.h"

namespace slimtag::testing {

namespace {

// Lines up to this length are also run through the plain passes, which are quadratic or worse.
constexpr std::size_t kCompareUpTo = 96;

struct FuzzInput {
  UserTexts texts;
  std::string line;
  bool any_text = false;
};

FuzzInput Split(std::string_view bytes) {
  std::vector<std::string_view> parts;
  for (std::size_t start = 0;;) {
    const std::size_t zero = bytes.find('\0', start);
    if (zero == std::string_view::npos || parts.size() == 9) {
      parts.push_back(bytes.substr(start));
      break;
    }
    parts.push_back(bytes.substr(start, zero - start));
    start = zero + 1;
  }
  FuzzInput input;
  input.line = std::string(parts.back());
  parts.pop_back();
  for (std::size_t i = 0; i < parts.size(); ++i) {
    std::string& field = i < 6 ? (i % 2 == 0 ? input.texts.find[i / 2] : input.texts.replace[i / 2])
                               : input.texts.remove[i - 6];
    field = std::string(parts[i]);
    input.any_text = input.any_text || !field.empty();
  }
  return input;
}

std::string TrimmedStart(std::string line) {
  line.erase(0, line.find_first_not_of(' ') == std::string::npos ? line.size()
                                                                 : line.find_first_not_of(' '));
  return line;
}

std::string TrimmedEnd(std::string line) {
  const std::size_t last = line.find_last_not_of(' ');
  line.erase(last == std::string::npos ? 0 : last + 1);
  return line;
}

// The pipeline's passes in their plain forms; nothing when a user pair does not end within the
// reference's bounds (the engine then gives its one-sweep result, checked elsewhere).
std::optional<std::string> ReferencePipeline(const FuzzInput& input, Encoding encoding) {
  std::string line = TrimmedEnd(TrimmedStart(input.line));
  line = ReferenceTagBlanks(line);
  auto user_edit = [&](const std::string& find, const std::string& replace) -> bool {
    if (find.empty()) return true;
    const std::optional<std::string> needle = EncodeForPage(find, encoding);
    const std::optional<std::string> replacement = EncodeReplacementForPage(replace, encoding);
    if (!needle || !replacement) return true;
    const std::optional<std::string> edited =
        ReferenceReplaceAll(line, *needle, *replacement, encoding);
    if (!edited) return false;
    line = *edited;
    return true;
  };
  for (std::size_t i = 0; i < 3; ++i) {
    if (!user_edit(input.texts.find[i], input.texts.replace[i])) return std::nullopt;
  }
  for (std::size_t i = 0; i < 3; ++i) {
    if (!user_edit(input.texts.remove[i], "")) return std::nullopt;
  }
  RemoveEditorMetaTags(line);
  const PassRow space[] = {kSpaceEntity};
  line = ReferenceRows(line, space);
  line = ReferenceRows(line, kEmptyTags);
  line = ReferenceRows(line, kLogicalTags);
  line = ReferenceRows(line, kColourCodes);
  return line;
}

// The bytes as a page under the window's rule, through the run's reader, passes and output,
// against one line at a time: the lines that a block holds whole go through together.
std::string CheckWholeLines(std::string_view page) {
  RunOptions options;
  for (const int box : {1, 2, 3, 4, 7, 8, 9, 10, 11}) options.box[box] = 1;
  const LinePipeline pipeline(options, {}, Encoding::Utf8);
  const OutputOptions output{false, true};
  // Blocks of a size that the page picks, so that lines run past them in every place.
  const std::size_t block = page.empty() ? 1 : 1 + static_cast<unsigned char>(page[0]) % 64;
  std::string line;
  StringSink together, alone;
  {
    StringSource source(std::string(page), block);
    LineReader reader(source, block);
    JoinState join;
    OptimiseLines(reader, pipeline, output, LineEndRule::kCrLf, join, line, together);
  }
  {
    StringSource source(std::string(page), block);
    LineReader reader(source, block);
    JoinState join;
    while (reader.ReadLine(line)) {
      pipeline.Apply(line);
      OutputLine(line, output, join, alone);
    }
  }
  if (together.text == alone.text) return {};
  return "whole lines \"" + together.text + "\" but one at a time \"" + alone.text + '"';
}

}  // namespace

std::string CheckPassesOn(const std::uint8_t* data, std::size_t size) {
  const FuzzInput input = Split(std::string_view(reinterpret_cast<const char*>(data), size));
  const Encoding encoding = IsValidUtf8(input.line) ? Encoding::Utf8 : Encoding::Windows1251;
  RunOptions options;
  for (int box = 1; box <= 14; ++box) options.box[box] = 1;
  const LinePipeline pipeline(options, input.texts, encoding);
  std::string line = input.line;
  pipeline.Apply(line);

  // The tables' rows all shorten what they edit: only the user's replacements can lengthen a line.
  if (!input.any_text && line.size() > input.line.size()) return "the line grew: " + line;
  if (input.line.size() <= kCompareUpTo) {
    const std::optional<std::string> plain = ReferencePipeline(input, encoding);
    if (plain && *plain != line) return "fast \"" + line + "\" but plain \"" + *plain + '"';
  }
  if (!input.any_text) return CheckWholeLines(input.line);
  return {};
}

}  // namespace slimtag::testing
