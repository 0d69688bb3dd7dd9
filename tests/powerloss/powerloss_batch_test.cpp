// slimtag-batch on the power-loss file system: after a power cut at any moment of a run, each
// page holds its old or its new content and each backup copy under a page's name is complete.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "powerloss_harness.h"

namespace slimtag::powerloss {
namespace {

class PowerLossBatchTest : public testing::Test {
 protected:
  void SetUp() override {
    const std::string skip = mount_.Mount();
    if (!skip.empty()) GTEST_SKIP() << skip;
    ASSERT_TRUE(mount_.Mounted());
  }

  PowerLossMount mount_;
};

// The backup copies and every page's new file are made beside the pages: the run's temporary
// file, in a working directory on the same file system, is moved beside its page by a rename.
TEST_F(PowerLossBatchTest, PagesAndBackupsAreWholeAfterAPowerCutAtAnyMoment) {
  std::vector<PageContents> pages = SpacedPages();
  const std::vector<std::string> options = {"--backup", "--nbsp"};

  // What the run makes of the pages on an ordinary folder.
  ScratchFolder reference;
  const std::string reference_pages = reference.Path() + "/pages";
  ASSERT_EQ(::mkdir(reference_pages.c_str(), 0755), 0);
  ASSERT_NO_FATAL_FAILURE(WritePagesDurably(reference_pages, pages));
  std::vector<std::string> argv = {SLIMTAG_BATCH_PROGRAM};
  argv.insert(argv.end(), options.begin(), options.end());
  argv.push_back(reference_pages);
  const ProgramResult on_disk = RunProgram(argv, reference.Path());
  ASSERT_EQ(on_disk.status, 0) << on_disk.err;
  const std::vector<std::string> after = ReadPages(reference_pages, pages);
  for (std::size_t i = 0; i < pages.size(); ++i) {
    pages[i].after = after[i];
    ASSERT_NE(pages[i].after, pages[i].before) << pages[i].name << ": the run must change it";
  }

  const std::string root = mount_.Root();
  ASSERT_EQ(::mkdir((root + "/pages").c_str(), 0755), 0);
  ASSERT_EQ(::mkdir((root + "/work").c_str(), 0755), 0);
  ASSERT_NO_FATAL_FAILURE(WritePagesDurably(root + "/pages", pages));
  ASSERT_NO_FATAL_FAILURE(MarkRunStart(root));
  argv.back() = root + "/pages";
  const ProgramResult run = RunProgram(argv, root + "/work");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(run.out.starts_with("20 файл(ов) обработано.\n")) << run.out;
  EXPECT_EQ(ReadPages(root + "/pages", pages), after) << "as readers see the pages";

  const std::vector<Cut> cuts = mount_.UnmountAndReadCuts();
  ASSERT_FALSE(cuts.empty());
  ExpectPagesWholeAtEveryCut(cuts, "pages", pages);
}

}  // namespace
}  // namespace slimtag::powerloss
