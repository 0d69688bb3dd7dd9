// Whole pages through a run: every tests/pages/NAME.input.htm is optimised with the boxes and
// fields of NAME.options and must come out as NAME.expected.htm, byte for byte (a page in the
// encoding it declares, too). A new case is three small files.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "run_world.h"

namespace slimtag::testing {
namespace {

namespace fs = std::filesystem;

const fs::path kPages = SLIMTAG_GOLDEN_PAGES;
constexpr std::string_view kInput = ".input.htm";

std::vector<std::string> GoldenCases() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(kPages)) {
    const std::string file = entry.path().filename().string();
    if (file.ends_with(kInput)) names.push_back(file.substr(0, file.size() - kInput.size()));
  }
  std::sort(names.begin(), names.end());
  return names;
}

// "boxes 7 8" ticks boxes; "field N text" fills field N with the rest of the line.
void Configure(FakeHost& host, const fs::path& options) {
  std::ifstream in(options);
  ASSERT_TRUE(in) << options;
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    std::string key;
    words >> key;
    if (key == "boxes") {
      for (int box = 0; words >> box;) host.Check(box);
    } else if (key == "field") {
      int field = 0;
      words >> field;
      std::string text;
      std::getline(words >> std::ws, text);
      host.Field(field, text);
    } else {
      FAIL() << options << ": unknown line «" << line << "»";
    }
  }
}

class GoldenPage : public ::testing::TestWithParam<std::string> {};

TEST_P(GoldenPage, ComesOutAsExpected) {
  const std::string name = GetParam();
  World w;
  Configure(w.host, kPages / (name + ".options"));
  w.AddPage("page.htm", ReadFile(kPages / (name + std::string(kInput))));
  EXPECT_EQ(w.Run(), RunOutcome::kStatistics);
  EXPECT_EQ(w.Page("page.htm"), ReadFile(kPages / (name + ".expected.htm")));
}

// A folder without a case leaves the suite without tests, which the test program reports.
INSTANTIATE_TEST_SUITE_P(Pages, GoldenPage, ::testing::ValuesIn(GoldenCases()),
                         [](const auto& info) {
                           std::string id = info.param;
                           std::replace(id.begin(), id.end(), '-', '_');
                           return id;
                         });

}  // namespace
}  // namespace slimtag::testing
